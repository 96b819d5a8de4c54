// The file a page is written into on POSIX systems before it takes its place: an unnamed
// O_TMPFILE in the target's folder where the file system has them, else a new private name
// opened with O_EXCL | O_NOFOLLOW and held locked while in use. Either is used through its
// descriptor only, and linked or renamed into place when complete; a signal that ends the
// program removes a named one first, and a later run in the folder removes one that a killed
// run left.
#include "platform/posix/PendingPage_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/DescriptorFile.h"
#include "platform/posix/PageFileSignals.h"

namespace horofu {
namespace {

constexpr char kPageFilePrefix[] = ".horofu-";
constexpr std::size_t kRandomLetters = 8;
// A named page file that has not changed for this long and whose lock is free was left by a
// run that was killed outright; younger ones may be a run's between their making and locking.
constexpr time_t kAbandonedAfterSeconds = 60;

// A short hidden name that does not grow with the page's name, so that any name the file
// system accepts for the page leaves room for it.
std::string RandomName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char noise[kRandomLetters] = {};
    if (::getrandom(noise, sizeof noise, 0) != static_cast<ssize_t>(sizeof noise)) {
        // No randomness at hand: the clock and the process differ enough, O_EXCL does the rest.
        const auto seed = static_cast<unsigned long>(::getpid()) * 2654435761u ^
                          static_cast<unsigned long>(::clock());
        for (std::size_t i = 0; i < sizeof noise; ++i) noise[i] = (seed >> (i * 5)) & 0xFF;
    }
    std::string name = kPageFilePrefix;
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

// Called before a named page file is made in folder: removes the named page files there
// (ours, regular, unchanged for a while) whose lock is free, which runs killed outright
// (SIGKILL, a power cut) left behind. Each is looked at through its own descriptor, locked,
// and removed only if its name still leads to it.
void RemoveAbandonedPageFiles(int folder) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(entries)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, kPageFilePrefix, sizeof kPageFilePrefix - 1) != 0 ||
            std::strlen(name) != sizeof kPageFilePrefix - 1 + kRandomLetters) {
            continue;
        }
        // Only a regular file of ours is ever opened: opening a device may do something.
        struct stat held {
        }, named{};
        if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
            named.st_uid != ::geteuid()) {
            continue;
        }
        const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
            now - held.st_mtime >= kAbandonedAfterSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(held, named)) {
            ::unlinkat(folder, name, 0);
        }
        ::close(fd);
    }
    ::closedir(entries);
}

class PosixPendingPage final : public PendingPage {
  public:
    // folder is the pending page's own descriptor; old, when given, the page there now.
    PosixPendingPage(int folder, std::string name, const struct stat* old)
        : folder_(folder), name_(std::move(name)), hasOld_(old != nullptr) {
        if (old != nullptr) old_ = *old;
    }

    ~PosixPendingPage() override {
        if (fd_ >= 0) ::close(fd_);
        if (!temporary_.empty() && !placed_) {
            SignalsHeld held;
            ::unlinkat(folder_, temporary_.c_str(), 0);
            Disarm(slot_);
        }
        ::close(folder_);
    }

    // Called by CreatePendingPage: the unnamed file if allowed and possible, else a
    // new private name, locked while in use.
    bool Create(bool unnamed) {
        if (unnamed && CanNameOpenFiles()) {
            fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) return true;
        }
        RemoveNamedFilesOnSignals();
        RemoveAbandonedPageFiles(folder_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = RandomName();
            SignalsHeld held;
            fd_ = ::openat(folder_, name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                temporary_ = name;
                slot_ = Arm(folder_, name);
                (void)::flock(fd_, LOCK_EX | LOCK_NB);  // a new file: nobody else holds it
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
        return std::make_unique<DescriptorFile>(fd, true);
    }

    PlaceResult PutInPlace(bool mayReplace) override {
        GiveFinalPermissions();
        // Not flushed to the disk first: fdatasync made a batch of 1,000 small pages six to
        // nine times as slow (about 8 ms a page) and a 50 MB page up to a third slower, and
        // the promise is to programs, not to a machine that loses its power (see PendingPage).
        SignalsHeld held;
        const bool placed = temporary_.empty() ? LinkUnnamed(mayReplace) : MoveNamed(mayReplace);
        if (placed) {
            placed_ = true;
            Disarm(slot_);
            if (!temporary_.empty()) ::flock(fd_, LOCK_UN);  // a page now, for anyone to read
            return PlaceResult::Placed;
        }
        error_ = errno;
        return errno == EEXIST && !mayReplace ? PlaceResult::TargetExists : PlaceResult::Failed;
    }

    // The page's time, set through its own descriptor before it takes its name.
    bool SetModificationTime(int64_t unixSeconds) override {
        const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(unixSeconds), 0}};
        return ::futimens(fd_, times) == 0;
    }

    int SystemError() const override { return error_; }

  private:
    // The permissions of the page that was there when the place was opened, and its owner and
    // group where the system lets us give them (root may; a member of the old group may keep
    // the group). A link in the target's place is replaced by the page, so what it points to
    // lends nothing.
    void GiveFinalPermissions() {
        mode_t mode = NewFileMode();
        if (hasOld_ && S_ISREG(old_.st_mode)) {
            bool groupKept = old_.st_gid == ::getegid();
            if (::geteuid() == 0) {
                groupKept = ::fchown(fd_, old_.st_uid, old_.st_gid) == 0;
            } else if (!groupKept) {
                groupKept = ::fchown(fd_, static_cast<uid_t>(-1), old_.st_gid) == 0;
            }
            mode = old_.st_mode & 0777;
            // The old group's rights are not for whichever group the page has instead: that
            // group gets no more than everyone else.
            if (!groupKept) mode = (mode & ~mode_t(070)) | ((mode & 07) << 3);
        }
        ::fchmod(fd_, mode);
    }

    // O_TMPFILE: linked under the page's name, which fails when the name exists; to replace a
    // page it is linked under a private name first and renamed over it.
    bool LinkUnnamed(bool mayReplace) {
        const std::string self = OpenFileName(fd_);
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
    bool hasOld_;
    struct stat old_ {};
    int fd_ = -1;
    std::string temporary_;  // the page file's own name; empty for an unnamed file
    NamedFileSlot* slot_ = nullptr;
    bool placed_ = false;
    int error_ = 0;
};

}  // namespace

// Whether /proc/self/fd is there to name an open file: for linkat, and to open a file found
// through O_PATH for writing without looking its name up again.
bool CanNameOpenFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

std::string OpenFileName(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::unique_ptr<PendingPage> CreatePendingPage(int folder, const std::string& name,
                                               const struct stat* old, bool unnamed,
                                               int* systemError) {
    auto page = std::make_unique<PosixPendingPage>(folder, name, old);
    if (!page->Create(unnamed)) {
        if (systemError != nullptr) *systemError = page->SystemError();
        return nullptr;
    }
    return page;
}

}  // namespace horofu
