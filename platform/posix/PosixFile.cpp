// Files for the channels on POSIX systems, and the path operations the front ends share.
//
// POSIX has no share modes. An exclusive flock stands in for them: a second open of a file
// that a channel holds finds it locked and fails, within this process (flock locks belong to
// the open file description) and against other copies of the program. The file is opened
// without O_TRUNC and emptied only once the lock is held, so a refused open changes nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "runtime/PlatformFile.h"

namespace horofu {
namespace {

class PosixFile final : public PlatformFile {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { Close(); }

    bool Read(char* into, std::size_t size, std::size_t& got) override {
        for (;;) {
            const ssize_t n = ::read(fd_, into, size);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return true;
            }
            if (errno != EINTR) return false;
        }
    }

    bool Write(const char* bytes, std::size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(fd_, bytes, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool SeekTo(uint64_t offset) override {
        return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(-1);
    }

    bool Size(uint64_t& size) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return false;
        size = static_cast<uint64_t>(st.st_size);
        return true;
    }

    bool Close() override {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

const char* CPath(const Text& path) {
    return path.Bytes().c_str();
}

}  // namespace

std::unique_ptr<PlatformFile> OpenPlatformFile(const Text& path, OpenMode mode) {
    // A path with a zero byte in it names no file.
    if (path.View().find('\0') != std::string_view::npos) return nullptr;
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
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    // Only regular files are locked: a terminal or pipe cannot be opened twice by mistake.
    if (S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return nullptr;
    }
    if (mode == OpenMode::Output && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<PlatformFile> OpenStandardInput() {
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? nullptr : std::make_unique<PosixFile>(fd);
}

std::unique_ptr<PlatformFile> OpenStandardOutput() {
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? nullptr : std::make_unique<PosixFile>(fd);
}

bool IsSpecialFile(const Text& path) {
    struct stat st {};
    return ::stat(CPath(path), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
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

Text CreateTemporaryBeside(const Text& target) {
    // mkstemp wants a template it may write into; the page is hidden until it is complete.
    std::string folder;
    std::string name = target.Bytes();
    const auto slash = name.rfind('/');
    if (slash != std::string::npos) {
        folder = name.substr(0, slash + 1);
        name = name.substr(slash + 1);
    }
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return Text();
    // Give the page the permissions a newly created file would get, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return Text(std::move(pattern));
}

bool ReplaceFile(const Text& from, const Text& to) {
    // A replaced page keeps the permissions its old file had.
    struct stat old {};
    if (::stat(CPath(to), &old) == 0) ::chmod(CPath(from), old.st_mode & 07777);
    return std::rename(CPath(from), CPath(to)) == 0;
}

bool RemoveFile(const Text& path) {
    return ::unlink(CPath(path)) == 0;
}

}  // namespace horofu
