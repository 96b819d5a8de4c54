// One channel's buffered reading and writing.
#include "runtime/Channel.h"

#include <algorithm>
#include <cstring>

namespace horofu {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

}  // namespace

bool Channel::Open(const Text& path, int mode) {
    if (mode < 0 || mode > 3) return Attach(nullptr, mode);
    return Attach(OpenPlatformFile(path, static_cast<OpenMode>(mode)), mode);
}

// Takes over an open file (or null, for a refused open) as if opened in mode 0 to 3.
bool Channel::Attach(std::unique_ptr<PlatformFile> file, int modeNumber) {
    if (file_) Close();
    Reset();
    if (!file || modeNumber < 0 || modeNumber > 3) {
        state_ = ChannelStatus::OpenFailed;
        return false;
    }
    const auto mode = static_cast<OpenMode>(modeNumber);
    file_ = std::move(file);
    state_ = ChannelStatus::Open;
    canRead_ = mode == OpenMode::ReadWrite || mode == OpenMode::Input;
    buffer_.resize(kBufferSize);
    if (!canRead_) behind_ = std::make_unique<WriteBehind>(*file_);
    if (!file_->Size(sizeAtOpen_)) sizeAtOpen_ = 0;
    if (mode == OpenMode::Append) {
        filePos_ = sizeAtOpen_;
        if (!file_->SeekTo(filePos_)) state_ = ChannelStatus::WriteFailed;
    }
    return true;
}

bool Channel::Close() {
    bool ok = state_ == ChannelStatus::Open;
    if (file_) {
        ok = FlushWrites() && ok;
        if (behind_) ok = behind_->Finish() && ok;
        behind_.reset();
        ok = file_->Close() && ok;
    }
    Reset();
    return ok;
}

int Channel::AtEnd() {
    if (!file_) return -1;
    if (readPos_ < readEnd_) return 0;
    if (!FlushWrites()) return -1;
    if (canRead_) return Refill() > 0 ? 0 : -1;
    uint64_t size = 0;
    if (behind_) behind_->Finish();
    if (!file_->Size(size)) return -1;
    return filePos_ >= size ? -1 : 0;
}

// The next byte, or kEndOfFile, or kReadError.
int Channel::Next() {
    if (readPos_ == readEnd_) {
        const int got = Refill();
        if (got <= 0) return got == 0 ? kEndOfFile : kReadError;
    }
    return static_cast<unsigned char>(buffer_[readPos_++]);
}

bool Channel::ReadBytes(char* into, std::size_t size, std::size_t& got) {
    got = 0;
    if (!file_ || !canRead_ || !FlushWrites()) return false;
    got = std::min(size, readEnd_ - readPos_);
    std::memcpy(into, buffer_.data() + readPos_, got);
    readPos_ += got;
    // The rest straight into the caller's buffer: no copy through the read-ahead.
    while (got < size) {
        std::size_t n = 0;
        if (!file_->Read(into + got, size - got, n)) {
            state_ = ChannelStatus::ReadFailed;
            return false;
        }
        if (n == 0) break;
        got += n;
        filePos_ += n;
    }
    return true;
}

bool Channel::Seek(uint64_t position) {
    if (!file_ || !canRead_ || !FlushWrites() || !file_->SeekTo(position)) return false;
    readPos_ = readEnd_ = 0;
    filePos_ = position;
    return true;
}

void Channel::Write(std::string_view bytes) {
    // An empty view may hold a null pointer, which memcpy must not be given.
    if (!file_ || bytes.empty()) return;
    if (readPos_ < readEnd_) {
        // Drop the read-ahead so the bytes land right after the last one consumed.
        filePos_ = Position();
        readPos_ = readEnd_ = 0;
        if (!file_->SeekTo(filePos_)) {
            state_ = ChannelStatus::WriteFailed;
            return;
        }
    }
    readPos_ = readEnd_ = 0;
    if (writeLen_ + bytes.size() > buffer_.size()) {
        if (!FlushWrites()) return;
        if (bytes.size() > buffer_.size()) {
            WriteOut(bytes.data(), bytes.size());
            return;
        }
    }
    std::memcpy(buffer_.data() + writeLen_, bytes.data(), bytes.size());
    writeLen_ += bytes.size();
}

void Channel::Reset() {
    behind_.reset();
    file_.reset();
    state_ = ChannelStatus::Empty;
    canRead_ = false;
    readPos_ = readEnd_ = writeLen_ = 0;
    filePos_ = sizeAtOpen_ = 0;
}

bool Channel::WriteOut(const char* bytes, std::size_t size) {
    // Bytes written here must follow those still being written behind.
    const bool behindOk = !behind_ || behind_->Finish();
    if (!behindOk || !file_->Write(bytes, size)) {
        state_ = ChannelStatus::WriteFailed;
        return false;
    }
    filePos_ += size;
    return true;
}

bool Channel::FlushWrites() {
    if (writeLen_ == 0) return true;
    const std::size_t size = writeLen_;
    writeLen_ = 0;
    if (!behind_) return WriteOut(buffer_.data(), size);
    if (!behind_->Write(buffer_, size)) {
        state_ = ChannelStatus::WriteFailed;
        return false;
    }
    filePos_ += size;
    return true;
}

// Reads the next stretch of the file into the buffer: its size, 0 at the end, -1 on error.
int Channel::Refill() {
    if (!FlushWrites()) return -1;
    std::size_t got = 0;
    if (!file_->Read(buffer_.data(), buffer_.size(), got)) {
        state_ = ChannelStatus::ReadFailed;
        readPos_ = readEnd_ = 0;
        return -1;
    }
    readPos_ = 0;
    readEnd_ = got;
    filePos_ += got;
    return static_cast<int>(got > 0);
}

}  // namespace horofu
