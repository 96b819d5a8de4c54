// The page's place on POSIX systems.
//
// The place's folder is opened once (O_DIRECTORY) and its name once, without following a link
// and without creating anything (O_PATH | O_NOFOLLOW); what that descriptor is decides how the
// page gets there, and every later step goes through the two descriptors (openat, linkat,
// renameat). So a folder or name that someone else swaps for a link after the check moves no
// write anywhere else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/posix/DescriptorFile.h"
#include "platform/posix/NamedPageFile.h"
#include "platform/posix/PendingPage_posix.h"
#include "runtime/PlatformFile.h"

namespace horofu {
namespace {

class PosixPagePlace final : public PagePlace {
  public:
    PosixPagePlace(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    ~PosixPagePlace() override {
        if (entry_ >= 0) ::close(entry_);
        ::close(folder_);
    }

    // Called by OpenPagePlace: looks at the name once, without following a link. False with
    // errno when it cannot be looked at.
    bool LookAtName() {
        entry_ = ::openat(folder_, name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (entry_ < 0) {
            if (errno != ENOENT) return false;
            target_ = PageTarget::None;
            return true;
        }
        if (::fstat(entry_, &entryStat_) != 0) return false;
        if (S_ISCHR(entryStat_.st_mode) || S_ISFIFO(entryStat_.st_mode)) {
            target_ = PageTarget::Stream;
        } else if (S_ISBLK(entryStat_.st_mode)) {
            target_ = PageTarget::Refused;
        } else {
            target_ = PageTarget::Existing;
            // The system's own names for the program's output (/dev/stdout, /dev/stderr) are
            // no page: written as that stream.
            if (S_ISLNK(entryStat_.st_mode) && IsSystemName() &&
                LinkText().rfind("/proc/self/fd/", 0) == 0) {
                const int reached = FollowLink();
                struct stat st {};
                if (reached >= 0 && ::fstat(reached, &st) == 0 && IsStandardStream(st)) {
                    target_ = PageTarget::Stream;
                }
                if (reached >= 0) ::close(reached);
            }
        }
        return true;
    }

    PageTarget Target() const override { return target_; }

    std::unique_ptr<PlatformFile> OpenStream(bool throughLink, int* systemError) override {
        int ignored = 0;
        int& error = systemError != nullptr ? *systemError : ignored;
        error = 0;
        const bool link = S_ISLNK(entryStat_.st_mode);
        if (target_ == PageTarget::Stream && !link) {
            return OpenForWritingInPlace(entry_, entryStat_, error);
        }
        // Only a link of the user's own (or the system's, such as /dev/stdout) is followed:
        // one that someone else put in a shared folder is replaced, whatever it leads to.
        const bool follow =
            link && (target_ == PageTarget::Stream ||
                     (throughLink && target_ == PageTarget::Existing &&
                      (entryStat_.st_uid == ::geteuid() || entryStat_.st_uid == 0)));
        if (!follow) return nullptr;
        // Only a device or pipe found there is opened for writing, so a link to a file gets no
        // write: the page replaces the link instead.
        const int reached = FollowLink();
        if (reached < 0) return nullptr;  // a dangling link is replaced
        struct stat st {};
        std::unique_ptr<PlatformFile> stream;
        if (::fstat(reached, &st) == 0) {
            if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
                stream = OpenForWritingInPlace(reached, st, error);
            } else if (S_ISREG(st.st_mode)) {
                stream = StandardStreamHolding(st);  // /dev/stdout onto a file
            }
        }
        ::close(reached);
        return stream;
    }

    std::unique_ptr<PendingPage> CreatePage(int* systemError) override {
        return Create(true, systemError);
    }

    // Called by CreatePage, and by CreateNamedPageBeside for the named kind.
    std::unique_ptr<PendingPage> Create(bool unnamed, int* systemError) {
        int ignored = 0;
        int& error = systemError != nullptr ? *systemError : ignored;
        const int folder = ::fcntl(folder_, F_DUPFD_CLOEXEC, 0);
        if (folder < 0) {
            error = errno;
            return nullptr;
        }
        const bool hasOld = target_ == PageTarget::Existing;
        return CreatePendingPage(folder, name_, hasOld ? &entryStat_ : nullptr, unnamed, &error);
    }

  private:
    // A device or pipe found through an O_PATH descriptor, opened for writing as that same
    // file (through /proc, else by name and compared). A pipe with no reader fails with ENXIO
    // rather than waiting for one forever.
    std::unique_ptr<PlatformFile> OpenForWritingInPlace(int found, const struct stat& st,
                                                        int& error) {
        constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        const int fd =
            CanNameOpenFiles()
                ? ::open(OpenFileName(found).c_str(), kFlags)
                : ::openat(folder_, name_.c_str(), found == entry_ ? kFlags | O_NOFOLLOW : kFlags);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !SameFile(opened, st)) {
            error = EAGAIN;  // swapped since it was looked at
            ::close(fd);
            return nullptr;
        }
        // Writes wait for a full pipe to drain, as any writer's do.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<DescriptorFile>(fd);
    }

    // The text of the link looked at (not of the name again); empty when unreadable.
    std::string LinkText() const {
        std::string to(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(entry_, "", to.data(), to.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= to.size()) return {};
        to.resize(static_cast<std::size_t>(length));
        return to;
    }

    // The link looked at, followed by its own text to a descriptor that cannot write; -1 when
    // it leads nowhere.
    int FollowLink() const {
        const std::string to = LinkText();
        return to.empty() ? -1 : ::openat(folder_, to.c_str(), O_PATH | O_CLOEXEC);
    }

    // Whether the link looked at is root's, in a folder that only root may change (as the
    // system's names are), so that nobody else can have put it there.
    bool IsSystemName() const {
        struct stat folder {};
        return entryStat_.st_uid == 0 && ::fstat(folder_, &folder) == 0 && folder.st_uid == 0 &&
               (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    }

    // Whether file is the one open as the program's standard output or error.
    static bool IsStandardStream(const struct stat& file) {
        for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            struct stat st {};
            if (::fstat(stream, &st) == 0 && SameFile(st, file)) return true;
        }
        return false;
    }

    // The system's names for the program's own output (/dev/stdout, /dev/stderr) lead to a
    // file the shell opened for it: written as that stream, never replaced. Null for any other
    // file.
    static std::unique_ptr<PlatformFile> StandardStreamHolding(const struct stat& file) {
        for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            struct stat st {};
            if (::fstat(stream, &st) != 0 || !SameFile(st, file)) continue;
            const int fd = ::fcntl(stream, F_DUPFD_CLOEXEC, 0);
            if (fd >= 0) return std::make_unique<DescriptorFile>(fd);
        }
        return nullptr;
    }

    int folder_;        // O_PATH | O_DIRECTORY
    std::string name_;  // the page's name in folder_
    int entry_ = -1;    // O_PATH | O_NOFOLLOW on the name; -1 when nothing was there
    struct stat entryStat_ {};
    PageTarget target_ = PageTarget::None;
};

std::unique_ptr<PosixPagePlace> OpenPosixPagePlace(const Text& target, int* systemError) {
    int ignored = 0;
    int& error = systemError != nullptr ? *systemError : ignored;
    const std::string& bytes = target.Bytes();
    if (bytes.find('\0') != std::string::npos) {  // names no file
        error = ENOENT;
        return nullptr;
    }
    const auto slash = bytes.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : bytes.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        error = EISDIR;
        return nullptr;
    }
    const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        error = errno;
        return nullptr;
    }
    auto place = std::make_unique<PosixPagePlace>(folderFd, name);
    if (!place->LookAtName()) {
        error = errno;
        return nullptr;
    }
    return place;
}

}  // namespace

std::unique_ptr<PagePlace> OpenPagePlace(const Text& target, int* systemError) {
    return OpenPosixPagePlace(target, systemError);
}

PageTarget ClassifyPageTarget(const Text& path) {
    const auto place = OpenPosixPagePlace(path, nullptr);
    return place ? place->Target() : PageTarget::None;
}

std::unique_ptr<PendingPage> CreatePageBeside(const Text& target, int* systemError) {
    auto place = OpenPosixPagePlace(target, systemError);
    return place ? place->Create(true, systemError) : nullptr;
}

std::unique_ptr<PendingPage> CreateNamedPageBeside(const Text& target, int* systemError) {
    auto place = OpenPosixPagePlace(target, systemError);
    return place ? place->Create(false, systemError) : nullptr;
}

}  // namespace horofu
