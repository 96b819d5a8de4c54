// Files for the channels on POSIX systems, and the path operations the front ends share. The
// page's place and the file a page is written into are in PagePlace_posix.cpp.
//
// POSIX has no share modes. flock stands in for them: a reader takes a shared lock, a writer
// an exclusive one, so a file being written cannot be read or written by a second open, within
// this process (flock locks belong to the open file description) and against other copies of
// the program, while any number of readers may read one thread. The file is opened without
// O_TRUNC and emptied only once the lock is held, so a refused open changes nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command/ThreadFile.h"
#include "platform/posix/DescriptorFile.h"
#include "platform/posix/PageFileSignals.h"
#include "runtime/NameText.h"
#include "runtime/PlatformFile.h"

namespace horofu {
namespace {

const char* CPath(const Text& path) {
    return path.Bytes().c_str();
}

bool HasZeroByte(const Text& path) {
    return path.View().find('\0') != std::string_view::npos;
}

// Locks a file the way its mode asks: shared for reading, exclusive for writing.
bool LockFor(int fd, OpenMode mode) {
    const int how = mode == OpenMode::Input ? LOCK_SH : LOCK_EX;
    return ::flock(fd, how | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Finishes an open for the mode: refuses a folder, locks a regular file, empties one for
// Output once the lock is held. Takes fd, closing it on a refusal.
std::unique_ptr<PlatformFile> Opened(int fd, OpenMode mode, int& error) {
    auto refuse = [&](int why) {
        ::close(fd);
        error = why;
        return nullptr;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) return refuse(errno);
    if (S_ISDIR(st.st_mode)) return refuse(EISDIR);
    // Only regular files are locked: a terminal or pipe cannot be opened twice by mistake.
    if (S_ISREG(st.st_mode) && !LockFor(fd, mode)) return refuse(EWOULDBLOCK);
    if (mode == OpenMode::Output && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        return refuse(errno);
    }
    return std::make_unique<DescriptorFile>(fd);
}

}  // namespace

std::unique_ptr<PlatformFile> OpenPlatformFile(const Text& path, OpenMode mode, int* systemError) {
    int ignored = 0;
    int& error = systemError != nullptr ? *systemError : ignored;
    // A path with a zero byte in it names no file.
    if (HasZeroByte(path)) {
        error = ENOENT;
        return nullptr;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::ReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
        case OpenMode::Input:
            flags |= O_RDONLY;
            break;
        case OpenMode::Output:
            flags |= O_WRONLY | O_CREAT;
            break;
        case OpenMode::Append:
            flags |= O_WRONLY | O_CREAT;
            break;
    }
    const int fd = ::open(CPath(path), flags, 0666);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    return Opened(fd, mode, error);
}

std::unique_ptr<PlatformFile> OpenThreadByName(const Text& path, int* systemError) {
    int ignored = 0;
    int& error = systemError != nullptr ? *systemError : ignored;
    if (HasZeroByte(path)) {
        error = ENOENT;
        return nullptr;
    }
    // Looked at before it is opened, since opening a device may already do something.
    const int found = ::open(CPath(path), O_PATH | O_CLOEXEC);
    if (found < 0) {
        error = errno;
        return nullptr;
    }
    struct stat st {};
    const bool device = ::fstat(found, &st) == 0 && S_ISCHR(st.st_mode);
    int fd = -1;
    if (!device) {
        // The very file looked at, through /proc; else by name, and it must be the same.
        const std::string self = "/proc/self/fd/" + std::to_string(found);
        fd = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) fd = ::open(CPath(path), O_RDONLY | O_CLOEXEC);
        error = errno;
    }
    ::close(found);
    if (device) {
        error = kThreadIsDevice;
        return nullptr;
    }
    if (fd < 0) return nullptr;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || S_ISCHR(opened.st_mode) || opened.st_dev != st.st_dev ||
        opened.st_ino != st.st_ino) {
        ::close(fd);
        error = S_ISCHR(opened.st_mode) ? kThreadIsDevice : EAGAIN;
        return nullptr;
    }
    return Opened(fd, OpenMode::Input, error);
}

std::unique_ptr<PlatformFile> OpenStandardInput() {
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? nullptr : std::make_unique<DescriptorFile>(fd);
}

std::unique_ptr<PlatformFile> OpenStandardOutput() {
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? nullptr : std::make_unique<DescriptorFile>(fd);
}

bool IsSameFile(const Text& a, const Text& b) {
    struct stat sa {
    }, sb{};
    if (::stat(CPath(a), &sa) != 0 || ::stat(CPath(b), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FileExists(const Text& path) {
    struct stat st {};
    return ::stat(CPath(path), &st) == 0;
}

bool RemoveFile(const Text& path) {
    return ::unlink(CPath(path)) == 0;
}

std::unique_ptr<PlatformFile> OpenScratchFile() {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] != '/') folder = "/tmp";
    // A file without a name where the system can make one; else a named one unlinked at once.
    int fd = ::open(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string pattern = std::string(folder) + "/horofu-spool.XXXXXX";
        SignalsHeld held;  // no signal between the name's making and its removal
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return nullptr;
        ::unlink(pattern.c_str());
    }
    return std::make_unique<DescriptorFile>(fd);
}

// A name is its bytes here, and an address names a file by them.
std::string NameInAddress(std::string_view bytes) {
    return std::string(bytes);
}

}  // namespace horofu
