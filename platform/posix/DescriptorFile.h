// A channel's file over an open POSIX descriptor, which every file the POSIX side opens becomes.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/PlatformFile.h"

namespace horofu {

class DescriptorFile final : public PlatformFile {
  public:
    explicit DescriptorFile(int fd) : fd_(fd) {}
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

}  // namespace horofu
