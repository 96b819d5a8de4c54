// Files for the channels on Windows, and the path operations the front ends share.
//
// Every channel opens its file with share mode 0: while one handle holds a file, any further
// open of it fails, and Windows refuses such an open before CREATE_ALWAYS empties the file.
// Paths are bytes in the ANSI code page (Shift-JIS), so only the ...A calls are used.
#include "platform/win32/DeviceName_win32.h"
#include "platform/win32/WideText_win32.h"
#include "runtime/NameText.h"
#include "runtime/PlatformFile.h"
#include "runtime/ShiftJis.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

namespace horofu {
namespace {

class Win32File final : public PlatformFile {
  public:
    // A stream is a duplicated standard handle, often a pipe: it has no position, and a pipe
    // whose writer has closed is the end of the input, not an error.
    explicit Win32File(HANDLE handle, bool stream = false) : handle_(handle), stream_(stream) {}
    ~Win32File() override { Close(); }

    bool Read(char* into, std::size_t size, std::size_t& got) override {
        DWORD count = 0;
        const DWORD ask = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        if (!::ReadFile(handle_, into, ask, &count, nullptr)) {
            if (!stream_ || ::GetLastError() != ERROR_BROKEN_PIPE) return false;
            count = 0;
        }
        got = count;
        return true;
    }

    bool Write(const char* bytes, std::size_t size) override {
        while (size > 0) {
            const DWORD ask = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
            DWORD count = 0;
            if (!::WriteFile(handle_, bytes, ask, &count, nullptr) || count == 0) return false;
            bytes += count;
            size -= count;
        }
        return true;
    }

    bool SeekTo(uint64_t offset) override {
        if (stream_) return offset == 0;
        LONG high = static_cast<LONG>(offset >> 32);
        const DWORD low =
            ::SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        // All bits set is also a valid low part when the high part is in use.
        return low != INVALID_SET_FILE_POINTER || ::GetLastError() == NO_ERROR;
    }

    bool Size(uint64_t& size) override {
        DWORD high = 0;
        const DWORD low = ::GetFileSize(handle_, &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
        size = (static_cast<uint64_t>(high) << 32) | low;
        return true;
    }

    bool Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

  private:
    HANDLE handle_;
    bool stream_;
};

// A path with a zero byte in it would name a different, shorter path.
bool IsUsablePath(const Text& path) {
    return !path.Empty() && path.View().find('\0') == std::string_view::npos;
}

const char* CPath(const Text& path) {
    return path.Bytes().c_str();
}

// The length of path's folder part, separator included: up to the last '\' or '/' that is a
// character of its own (0x5C also ends some double-byte characters, ソ 83 5C say), or just
// the drive of "C:name"; 0 when path names a file in the current folder.
std::size_t FolderLength(const Text& path) {
    const std::string_view bytes = path.View();
    std::size_t folder = 0;
    if (bytes.size() >= 2 && bytes[1] == ':' && !IsLeadByte(bytes[0])) folder = 2;
    for (std::size_t i = 0; i < bytes.size(); i += CharacterBytes(bytes, i)) {
        if (bytes[i] == '\\' || bytes[i] == '/') folder = i + 1;
    }
    return folder;
}

// The file's identity, opened without access so that a file held by a channel (share mode 0)
// can still be asked; false when that is not possible.
bool FileIdentity(const Text& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle =
        ::CreateFileA(CPath(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return ok;
}

// The absolute spelling of path, or empty text.
Text FullPath(const Text& path) {
    std::string full(MAX_PATH, '\0');
    DWORD length =
        ::GetFullPathNameA(CPath(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length =
            ::GetFullPathNameA(CPath(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return Text();
    full.resize(length);
    return Text(std::move(full));
}

// Whether another program has path open without letting it be moved or deleted meanwhile:
// asked for the deletion that replacing it takes, with every share mode.
bool IsHeld(const Text& path) {
    const HANDLE handle =
        ::CreateFileA(CPath(path), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(handle);
    return false;
}

// A page file made with CREATE_NEW and share mode 0 beside its target: nobody else can open
// it while it is written (through a duplicate of its handle). Once complete it takes the
// target's place with ReplaceFileA, which keeps the old page's attributes and security (and
// refuses a read-only page), or MoveFileExA for a new page; write-through in both cases, so that
// the page is on disk before its name is. A page file not put in place is deleted through its own
// handle while that is still open, so that no other file that took its name meanwhile can be
// deleted instead.
class Win32PendingPage final : public PendingPage {
  public:
    Win32PendingPage(Text path, Text target, HANDLE handle)
        : path_(std::move(path)), target_(std::move(target)), handle_(handle) {}
    ~Win32PendingPage() override {
        if (placed_) {
            CloseOwnHandle();
            return;
        }
        const bool marked = Dispose(true);
        CloseOwnHandle();
        if (!marked) ::DeleteFileA(CPath(path_));
    }

    // Marks the page file to be deleted, or not, once its last handle is closed: through its
    // own handle, so that no other file that took its name can be deleted instead. Called with
    // true when the file is made: a run ended without a word (killed, a crash, a console closed
    // under it) then leaves no page file behind; where the file system cannot, the file is
    // deleted as the page is dropped.
    bool Dispose(bool deleted) {
        FILE_DISPOSITION_INFO dispose{};
        dispose.DeleteFile = deleted ? TRUE : FALSE;
        const bool done = handle_ != INVALID_HANDLE_VALUE &&
                          ::SetFileInformationByHandle(handle_, FileDispositionInfo, &dispose,
                                                       sizeof dispose) != 0;
        if (done) deleteOnClose_ = deleted;
        return done;
    }

    std::unique_ptr<PlatformFile> OpenForWriting() override {
        HANDLE copy = nullptr;
        if (handle_ == INVALID_HANDLE_VALUE ||
            !::DuplicateHandle(::GetCurrentProcess(), handle_, ::GetCurrentProcess(), &copy, 0,
                               FALSE, DUPLICATE_SAME_ACCESS)) {
            error_ = static_cast<int>(::GetLastError());
            return nullptr;
        }
        return std::make_unique<Win32File>(copy);
    }

    PlaceResult PutInPlace(bool mayReplace) override {
        const DWORD old =
            mayReplace ? ::GetFileAttributesA(CPath(target_)) : INVALID_FILE_ATTRIBUTES;
        const bool replaces = old != INVALID_FILE_ATTRIBUTES;
        // The old page's attributes go to the new one through its own handle, for when it is
        // moved rather than swapped in below.
        if (replaces) GiveAttributes(old & kMovedAttributes);
        // An old page that another program holds cannot be replaced. Told before trying, while
        // the new page can still go through its own handle: on some systems ReplaceFileA
        // leaves an empty file of its own beside a page it finds held.
        if (replaces && IsHeld(target_)) {
            error_ = ERROR_SHARING_VIOLATION;
            return PlaceResult::Failed;
        }
        // The page file was made to be deleted when its last handle closes; kept now, since it
        // takes the target's place.
        if (deleteOnClose_ && !Dispose(false)) {
            error_ = static_cast<int>(::GetLastError());
            return PlaceResult::Failed;
        }
        CloseOwnHandle();  // a file still open cannot be moved
        // The old page gives the new one its attributes. Should that fail (a file system
        // without it, the old page gone meanwhile), the page is moved over it instead; but a
        // read-only page that Windows refuses to replace stays, and the refusal is told
        // (some systems would let the move replace it, and lose its read-only mark).
        if (replaces) {
            if (::ReplaceFileA(CPath(target_), CPath(path_), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0) {
                placed_ = true;
                return PlaceResult::Placed;
            }
            if ((old & FILE_ATTRIBUTE_READONLY) != 0) {
                error_ = static_cast<int>(::GetLastError());
                return PlaceResult::Failed;
            }
        }
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (mayReplace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (::MoveFileExA(CPath(path_), CPath(target_), flags) != 0) {
            placed_ = true;
            return PlaceResult::Placed;
        }
        const DWORD error = ::GetLastError();
        error_ = static_cast<int>(error);
        return !mayReplace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                   ? PlaceResult::TargetExists
                   : PlaceResult::Failed;
    }

    int SystemError() const override { return error_; }

  private:
    // The attributes a page takes from the page it replaces. Read-only is not among them: it
    // would keep the unfinished page from being deleted should the move fail, and a read-only
    // page is never replaced.
    static constexpr DWORD kMovedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_ARCHIVE |
                                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

    // Sets the page's attributes through its handle; zero for none leaves them as they are.
    void GiveAttributes(DWORD attributes) {
        if (attributes == 0 || handle_ == INVALID_HANDLE_VALUE) return;
        FILE_BASIC_INFO basic{};  // times left at zero stay as they are
        basic.FileAttributes = attributes;
        ::SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic);
    }

    void CloseOwnHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    Text path_;
    Text target_;
    HANDLE handle_;
    bool placed_ = false;
    bool deleteOnClose_ = false;  // the file goes when its last handle closes
    int error_ = 0;
};

std::unique_ptr<PlatformFile> OpenStandard(DWORD which) {
    const HANDLE own = ::GetStdHandle(which);
    if (own == nullptr || own == INVALID_HANDLE_VALUE) return nullptr;  // a GUI program's
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return std::make_unique<Win32File>(copy, true);
}

}  // namespace

// Called by the channels when they open a file.
std::unique_ptr<PlatformFile> OpenPlatformFile(const Text& path, OpenMode mode, int* systemError) {
    if (!IsUsablePath(path)) {
        if (systemError != nullptr) *systemError = ERROR_INVALID_NAME;
        return nullptr;
    }
    DWORD access = 0;
    DWORD disposition = 0;
    switch (mode) {
        case OpenMode::ReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = OPEN_ALWAYS;
            break;
        case OpenMode::Input:
            access = GENERIC_READ;
            disposition = OPEN_EXISTING;
            break;
        case OpenMode::Output:
            access = GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
        case OpenMode::Append:
            access = GENERIC_WRITE;
            disposition = OPEN_ALWAYS;
            break;
    }
    const HANDLE handle =
        ::CreateFileA(CPath(path), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (systemError != nullptr) *systemError = static_cast<int>(::GetLastError());
        return nullptr;
    }
    auto file = std::make_unique<Win32File>(handle);
    if (mode == OpenMode::Append) {
        uint64_t size = 0;
        if (!file->Size(size) || !file->SeekTo(size)) return nullptr;
    }
    return file;
}

// The process's standard streams: Horofu.exe reads and writes named files only; these serve
// the shared conversion code.
std::unique_ptr<PlatformFile> OpenStandardInput() {
    return OpenStandard(STD_INPUT_HANDLE);
}

std::unique_ptr<PlatformFile> OpenStandardOutput() {
    return OpenStandard(STD_OUTPUT_HANDLE);
}

bool NamesDevice(const Text& path) {
    if (!IsUsablePath(path)) return false;
    const HANDLE handle = ::CreateFileA(path.Bytes().c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool device = ::GetFileType(handle) != FILE_TYPE_DISK;
    ::CloseHandle(handle);
    return device;
}

// Called before a page is written: a device (NUL, CON, a COM port) is written to in place,
// since no page file can be moved over it.
PageTarget ClassifyPageTarget(const Text& path) {
    if (!IsUsablePath(path)) return PageTarget::None;
    if (NamesDevice(path)) return PageTarget::Stream;
    return FileExists(path) ? PageTarget::Existing : PageTarget::None;
}

// Called before a conversion, so that a page is never written over its own thread: the same
// volume and file index, which also catches one file reached by two names.
bool IsSameFile(const Text& a, const Text& b) {
    if (!IsUsablePath(a) || !IsUsablePath(b)) return false;
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (FileIdentity(a, ia) && FileIdentity(b, ib)) {
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
               ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    }
    // A file that could not be asked: by name, as the file system compares names.
    if (!FileExists(a) || !FileExists(b)) return false;
    const Text fullA = FullPath(a);
    return !fullA.Empty() && LowerCase(fullA) == LowerCase(FullPath(b));
}

bool FileExists(const Text& path) {
    return IsUsablePath(path) && ::GetFileAttributesA(CPath(path)) != INVALID_FILE_ATTRIBUTES;
}

// Called before a page is written, so that an existing page is replaced only when the new one
// is complete. CREATE_NEW never touches a file that is already there.
std::unique_ptr<PendingPage> CreatePageBeside(const Text& target, int* systemError) {
    if (!IsUsablePath(target)) {
        if (systemError != nullptr) *systemError = ERROR_INVALID_NAME;
        return nullptr;
    }
    const std::string folder = target.Bytes().substr(0, FolderLength(target));
    // A name taken by an earlier page, or by another copy of the program, moves on to the next.
    const unsigned long seed = ::GetCurrentProcessId() * 0x9E3779B1u ^ ::GetTickCount();
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned long attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "~hrf%08lx.tmp", (seed + attempt) & 0xFFFFFFFFul);
        Text path(folder + name);
        // DELETE: so that an unfinished page can be deleted through this handle.
        const HANDLE handle = ::CreateFileA(CPath(path), GENERIC_WRITE | DELETE, 0, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            auto page = std::make_unique<Win32PendingPage>(std::move(path), target, handle);
            page->Dispose(true);
            return page;
        }
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (systemError != nullptr) *systemError = static_cast<int>(error);
    return nullptr;
}

bool RemoveFile(const Text& path) {
    return IsUsablePath(path) && ::DeleteFileA(CPath(path)) != 0;
}

// Windows removes a file opened for deletion on close when its last handle goes, which the
// end of the process brings about however it ends.
std::unique_ptr<PlatformFile> OpenScratchFile() {
    char folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) return nullptr;
    char path[MAX_PATH + 1];
    if (::GetTempFileNameA(folder, "hro", 0, path) == 0) return nullptr;
    const HANDLE handle = ::CreateFileA(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ::DeleteFileA(path);
        return nullptr;
    }
    return std::make_unique<Win32File>(handle);
}

// A name here is characters in the system code page, and a browser reads an address's
// percent-encoded bytes as UTF-8.
std::string NameInAddress(std::string_view bytes) {
    return Narrow(CP_UTF8, Wide(CP_ACP, bytes));
}

}  // namespace horofu
