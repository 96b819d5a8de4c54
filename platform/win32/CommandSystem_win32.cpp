// The command's looks at files on Windows: attributes, file identities, the folder listing
// with FindFirstFileA, and the system's reasons from FormatMessageA. Paths are bytes in the
// ANSI code page, as everywhere on this side.
#include <windows.h>

#include <algorithm>

#include "command/CommandSystem.h"
#include "command/ThreadFile.h"
#include "platform/win32/DeviceName_win32.h"
#include "runtime/PathParts.h"
#include "runtime/ShiftJis.h"

namespace horofu {
namespace {

bool Attributes(const Text& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return !path.Empty() && path.View().find('\0') == std::string_view::npos &&
           ::GetFileAttributesExA(path.Bytes().c_str(), GetFileExInfoStandard, &data) != 0;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether name matches pattern: * any run of characters, ? one character (a double-byte one
// whole), ASCII letters in any case. FindFirstFileA's own matching also looks at the short
// 8.3 names, by which "*.txt" would match "a.txtx".
bool Matches(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == '*') {
        for (std::size_t i = 0;; i += CharacterBytes(name, i)) {
            if (Matches(pattern.substr(1), name.substr(i))) return true;
            if (i >= name.size()) return false;
        }
    }
    if (name.empty()) return false;
    const std::size_t p = CharacterBytes(pattern, 0), n = CharacterBytes(name, 0);
    if (pattern[0] == '?') return Matches(pattern.substr(1), name.substr(n));
    if (p != n) return false;
    for (std::size_t i = 0; i < p; ++i) {
        if (AsciiLower(pattern[i]) != AsciiLower(name[i])) return false;
    }
    return Matches(pattern.substr(p), name.substr(n));
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return ::GetFileInformationByHandle(a, &ia) && ::GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace

// Standard input is opened with OpenStandardInput: Windows has no name for it.
Text StandardInputName() {
    return Text();
}

bool StandardOutputIsInput(const Text& input) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (::GetFileType(out) != FILE_TYPE_DISK) return false;
    if (input.Empty()) return SameFile(::GetStdHandle(STD_INPUT_HANDLE), out);
    const HANDLE in = ::CreateFileA(input.Bytes().c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    const bool same = SameFile(in, out);
    ::CloseHandle(in);
    return same;
}

uint64_t FileSizeAt(const Text& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!Attributes(path, data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsFolder(const Text& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return Attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const Text& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return Attributes(path, data);
}

std::vector<std::string> MatchingFiles(const Text& folder,
                                       const std::vector<std::string>& patterns) {
    std::vector<std::string> names;
    const std::string all = DirectoryWithSeparator(folder, kWindowsSeparator).Bytes() + "*";
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA(all.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        const DWORD skipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN;
        if ((found.dwFileAttributes & skipped) != 0 || name.empty() || name[0] == '.') continue;
        if (std::any_of(patterns.begin(), patterns.end(),
                        [&](const std::string& pattern) { return Matches(pattern, name); })) {
            names.push_back(name);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string SystemReason(int error) {
    char* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // English, as the command's own messages are; the system's language where it has none.
    DWORD length =
        ::FormatMessageA(flags, nullptr, static_cast<DWORD>(error),
                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (LPSTR)&text, 0, nullptr);
    if (length == 0) {
        length = ::FormatMessageA(flags, nullptr, static_cast<DWORD>(error), 0, (LPSTR)&text, 0,
                                  nullptr);
    }
    std::string reason = length != 0 ? std::string(text, length) : "error " + std::to_string(error);
    if (text != nullptr) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

bool IsFileInUse(int error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsNoReader(int error) {
    return error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED;
}

// A name such as CON, NUL, COM1 or CON.txt is a device, however it is spelled; looked at
// before it is opened to be read.
std::unique_ptr<PlatformFile> OpenThreadByName(const Text& path, int* systemError) {
    if (NamesDevice(path)) {
        if (systemError != nullptr) *systemError = kThreadIsDevice;
        return nullptr;
    }
    return OpenPlatformFile(path, OpenMode::Input, systemError);
}

}  // namespace horofu
