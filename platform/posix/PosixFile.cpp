// Files for the channels on POSIX systems, and the path operations the front ends share.
//
// POSIX has no share modes. flock stands in for them: a reader takes a shared lock, a writer
// an exclusive one, so a file being written cannot be read or written by a second open, within
// this process (flock locks belong to the open file description) and against other copies of
// the program, while any number of readers may read one thread. The file is opened without
// O_TRUNC and emptied only once the lock is held, so a refused open changes nothing.
//
// A page is written into a file that nobody else can reach: an unnamed O_TMPFILE in the
// target's folder where the file system has them, else a new private name opened with
// O_EXCL | O_NOFOLLOW. Either is used through its descriptor only, and linked or renamed
// into place when complete; a signal that ends the program removes a named one first.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/NamedPageFile.h"
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

bool HasZeroByte(const Text& path) {
    return path.View().find('\0') != std::string_view::npos;
}

// --- Removal of a named page file when a signal ends the program -------------------------
//
// The handler may only make async-signal-safe calls, so every name it removes is prepared
// beforehand: a folder descriptor and a short name, armed last.

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};
constexpr std::size_t kNameSize = 32;

struct NamedFileSlot {
    volatile sig_atomic_t armed;
    int folder;
    char name[kNameSize];
};
// One per page file a program holds at once; the command holds one.
NamedFileSlot gSlots[4];

void RemoveNamedFilesAndDie(int signal) {
    for (NamedFileSlot& slot : gSlots) {
        if (slot.armed) ::unlinkat(slot.folder, slot.name, 0);
    }
    // Ends the program by the same signal, so that its parent sees 128 + signal.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

sigset_t EndingSignals() {
    sigset_t set;
    ::sigemptyset(&set);
    for (int signal : kEndingSignals) ::sigaddset(&set, signal);
    return set;
}

// Installs the handler once, before the first page file. A signal the program was started
// with ignored (nohup) stays ignored.
void RemoveNamedFilesOnSignals() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = RemoveNamedFilesAndDie;
        action.sa_mask = EndingSignals();
        for (int signal : kEndingSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            ::sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

// Holds the ending signals back while a name is created and armed, or a page moved into
// place, so that no signal falls between the two steps.
class SignalsHeld {
  public:
    SignalsHeld() {
        const sigset_t set = EndingSignals();
        ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t old_;
};

NamedFileSlot* Arm(int folder, const std::string& name) {
    for (NamedFileSlot& slot : gSlots) {
        if (slot.armed) continue;
        slot.folder = folder;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.armed = 1;
        return &slot;
    }
    return nullptr;  // more pages at once than slots: removed on every exit but a signal
}

void Disarm(NamedFileSlot*& slot) {
    if (slot != nullptr) slot->armed = 0;
    slot = nullptr;
}

// --- Page files ----------------------------------------------------------------------------

// A short hidden name that does not grow with the page's name, so that any name the file
// system accepts for the page leaves room for it.
std::string RandomName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char noise[8] = {};
    if (::getrandom(noise, sizeof noise, 0) != static_cast<ssize_t>(sizeof noise)) {
        // No randomness at hand: the clock and the process differ enough, O_EXCL does the rest.
        const auto seed = static_cast<unsigned long>(::getpid()) * 2654435761u ^
                          static_cast<unsigned long>(::clock());
        for (std::size_t i = 0; i < sizeof noise; ++i) noise[i] = (seed >> (i * 5)) & 0xFF;
    }
    std::string name = ".horofu-";
    for (unsigned char b : noise) name += kLetters[b % (sizeof kLetters - 1)];
    return name;
}

mode_t NewFileMode() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return 0666 & ~mask;
}

// Whether /proc/self/fd is there to name an unnamed file for linkat.
bool CanLinkUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

class PosixPendingPage final : public PendingPage {
  public:
    PosixPendingPage(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}

    ~PosixPendingPage() override {
        if (fd_ >= 0) ::close(fd_);
        if (!temporary_.empty() && !placed_) {
            SignalsHeld held;
            ::unlinkat(folder_, temporary_.c_str(), 0);
            Disarm(slot_);
        }
        ::close(folder_);
    }

    // Called by CreatePageBeside: the unnamed file if allowed and possible, else a new
    // private name.
    bool Create(bool unnamed) {
        if (unnamed && CanLinkUnnamedFiles()) {
            fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) return true;
        }
        RemoveNamedFilesOnSignals();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = RandomName();
            SignalsHeld held;
            fd_ = ::openat(folder_, name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                temporary_ = name;
                slot_ = Arm(folder_, name);
                return true;
            }
            if (errno != EEXIST) break;
        }
        error_ = errno;
        return false;
    }

    std::unique_ptr<PlatformFile> OpenForWriting() override {
        const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            error_ = errno;
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    PlaceResult PutInPlace(bool mayReplace) override {
        GiveFinalPermissions();
        SignalsHeld held;
        const bool placed = temporary_.empty() ? LinkUnnamed(mayReplace) : MoveNamed(mayReplace);
        if (placed) {
            placed_ = true;
            Disarm(slot_);
            return PlaceResult::Placed;
        }
        error_ = errno;
        return errno == EEXIST && !mayReplace ? PlaceResult::TargetExists : PlaceResult::Failed;
    }

    bool SetModificationTime(int64_t unixSeconds) override {
        const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(unixSeconds), 0}};
        return ::futimens(fd_, times) == 0;
    }

    int SystemError() const override { return error_; }

  private:
    // The old page's permissions, and its owner and group where the system lets us give them
    // (root may; a member of the old group may keep the group). A link in the target's place
    // is replaced by the page, so what it points to lends nothing.
    void GiveFinalPermissions() {
        struct stat old {};
        mode_t mode = NewFileMode();
        if (::fstatat(folder_, name_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(old.st_mode)) {
            if (::geteuid() == 0) {
                (void)::fchown(fd_, old.st_uid, old.st_gid);
            } else if (old.st_gid != ::getegid()) {
                (void)::fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
            }
            mode = old.st_mode & 0777;
        }
        ::fchmod(fd_, mode);
    }

    // O_TMPFILE: linked under the page's name, which fails when the name exists; to replace a
    // page it is linked under a private name first and renamed over it.
    bool LinkUnnamed(bool mayReplace) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (!mayReplace) {
            return ::linkat(AT_FDCWD, self.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = RandomName();
            if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST) continue;
                return false;
            }
            if (::renameat(folder_, name.c_str(), folder_, name_.c_str()) == 0) return true;
            const int error = errno;
            ::unlinkat(folder_, name.c_str(), 0);
            errno = error;
            return false;
        }
        return false;
    }

    bool MoveNamed(bool mayReplace) {
        if (mayReplace) {
            return ::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) == 0;
        }
        if (::renameat2(folder_, temporary_.c_str(), folder_, name_.c_str(), RENAME_NOREPLACE) ==
            0) {
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
        // A file system without RENAME_NOREPLACE: link, which never replaces, then unlink.
        if (::linkat(folder_, temporary_.c_str(), folder_, name_.c_str(), 0) != 0) return false;
        ::unlinkat(folder_, temporary_.c_str(), 0);
        return true;
    }

    int folder_;
    std::string name_;  // the page's name in folder_
    int fd_ = -1;
    std::string temporary_;  // the page file's own name; empty for an unnamed file
    NamedFileSlot* slot_ = nullptr;
    bool placed_ = false;
    int error_ = 0;
};

// Locks a file the way its mode asks: shared for reading, exclusive for writing.
bool LockFor(int fd, OpenMode mode) {
    const int how = mode == OpenMode::Input ? LOCK_SH : LOCK_EX;
    return ::flock(fd, how | LOCK_NB) == 0 || errno != EWOULDBLOCK;
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

PageTarget ClassifyPageTarget(const Text& path) {
    if (HasZeroByte(path)) return PageTarget::None;
    struct stat st {};
    if (::lstat(CPath(path), &st) != 0) return PageTarget::None;
    // A link to a device or pipe is written through; to anything else, replaced. The system's
    // own names (/dev/stdout, /proc/self/fd/1) are never replaced, even when they lead to a
    // file: the shell opened that file for the page.
    struct stat reached {};
    if (::stat(CPath(path), &reached) == 0) {
        if (S_ISBLK(reached.st_mode)) return PageTarget::Refused;
        if (S_ISCHR(reached.st_mode) || S_ISFIFO(reached.st_mode)) return PageTarget::Stream;
        const std::string_view bytes = path.View();
        if (S_ISREG(reached.st_mode) &&
            (bytes.substr(0, 5) == "/dev/" || bytes.substr(0, 6) == "/proc/")) {
            return PageTarget::Stream;
        }
    }
    return PageTarget::Existing;
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

namespace {

std::unique_ptr<PendingPage> CreatePage(const Text& target, bool unnamed, int* systemError) {
    int ignored = 0;
    int& error = systemError != nullptr ? *systemError : ignored;
    const std::string& bytes = target.Bytes();
    const auto slash = bytes.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : bytes.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
    if (HasZeroByte(target) || name.empty() || name == "." || name == "..") {
        error = name.empty() || name == "." || name == ".." ? EISDIR : ENOENT;
        return nullptr;
    }
    const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        error = errno;
        return nullptr;
    }
    auto page = std::make_unique<PosixPendingPage>(folderFd, name);
    if (!page->Create(unnamed)) {
        error = page->SystemError();
        return nullptr;
    }
    return page;
}

}  // namespace

std::unique_ptr<PendingPage> CreatePageBeside(const Text& target, int* systemError) {
    return CreatePage(target, true, systemError);
}

std::unique_ptr<PendingPage> CreateNamedPageBeside(const Text& target, int* systemError) {
    return CreatePage(target, false, systemError);
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
    return std::make_unique<PosixFile>(fd);
}

}  // namespace horofu
