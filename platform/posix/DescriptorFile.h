// A channel's file over an open POSIX descriptor, which every file the POSIX side opens becomes.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "runtime/PlatformFile.h"

namespace horofu {

class DescriptorFile final : public PlatformFile {
  public:
    // writeBack: the file is a page being written from start to end, whose bytes the
    // system is asked to start writing to the disk as they come (see Write).
    explicit DescriptorFile(int fd, bool writeBack = false) : fd_(fd), writeBack_(writeBack) {}
    ~DescriptorFile() override { Close(); }

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
            written_ += static_cast<uint64_t>(n);
        }
        StartWriteBack();
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
    // A page of many megabytes is handed to the disk as it is written, a few megabytes at a
    // time, rather than all at once where it takes the place of an older page: there the
    // file system writes out what is still only in memory before the rename returns, and
    // letting go of the older page waits for its own writing to end. Only a start is asked
    // for (nothing waits for the disk), and a refusal changes nothing.
    void StartWriteBack() {
#if defined(__linux__)
        constexpr uint64_t kWriteBackEvery = 8 << 20;
        if (!writeBack_ || written_ - started_ < kWriteBackEvery) return;
        (void)::sync_file_range(fd_, static_cast<off_t>(started_),
                                static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
        started_ = written_;
#endif
    }

    int fd_;
    bool writeBack_;
    uint64_t written_ = 0;  // bytes written through this descriptor
    uint64_t started_ = 0;  // of which the disk was asked to start writing these
};

}  // namespace horofu
