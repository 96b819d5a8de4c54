// The process's standard streams as files, and the test for devices, on Windows.
#include "runtime/PlatformFile.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace horofu {
namespace {

// A duplicate of a standard handle: closing it leaves the process's own stream open.
class StandardStream final : public PlatformFile {
  public:
    explicit StandardStream(HANDLE handle) : handle_(handle) {}
    ~StandardStream() override { Close(); }

    bool Read(char* into, std::size_t size, std::size_t& got) override {
        DWORD count = 0;
        const DWORD ask = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        if (!::ReadFile(handle_, into, ask, &count, nullptr)) {
            // The writing end of a pipe closed: that is the end of the input, not an error.
            if (::GetLastError() != ERROR_BROKEN_PIPE) return false;
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

    // A pipe has no position and no size.
    bool SeekTo(uint64_t offset) override { return offset == 0; }
    bool Size(uint64_t& size) override {
        DWORD high = 0;
        const DWORD low = ::GetFileSize(handle_, &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
        size = (static_cast<uint64_t>(high) << 32) | low;
        return true;
    }

    bool Close() override {
        if (handle_ == nullptr) return true;
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return ::CloseHandle(handle) != 0;
    }

  private:
    HANDLE handle_;
};

std::unique_ptr<PlatformFile> OpenStandard(DWORD which) {
    const HANDLE own = ::GetStdHandle(which);
    if (own == nullptr || own == INVALID_HANDLE_VALUE) return nullptr;  // a GUI program's
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return std::make_unique<StandardStream>(copy);
}

}  // namespace

// Horofu.exe reads and writes named files only; these serve the shared conversion code.
std::unique_ptr<PlatformFile> OpenStandardInput() {
    return OpenStandard(STD_INPUT_HANDLE);
}

std::unique_ptr<PlatformFile> OpenStandardOutput() {
    return OpenStandard(STD_OUTPUT_HANDLE);
}

// Called before a page is written: a device (NUL, CON, a COM port) is written to in place,
// since no temporary file can be moved over it. Asked without access and with every share
// mode, so that a file held by a channel can still be asked; a folder does not open this way.
bool IsSpecialFile(const Text& path) {
    if (path.Empty() || path.View().find('\0') != std::string_view::npos) return false;
    const HANDLE handle = ::CreateFileA(path.Bytes().c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool device = ::GetFileType(handle) != FILE_TYPE_DISK;
    ::CloseHandle(handle);
    return device;
}

}  // namespace horofu
