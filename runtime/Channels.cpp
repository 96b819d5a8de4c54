// The channel table and field input, read and written through a buffer per channel.
//
// A channel reads ahead and gathers writes, but every operation behaves as if the file
// position stood right after the last byte consumed: read-ahead is dropped (and the file
// position moved back) before a write, and gathered writes go out before a read or an end test.
#include "runtime/Channels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/ByteScan.h"
#include "runtime/WriteBehind.h"

namespace horofu {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

constexpr int kEndOfFile = -1;
constexpr int kReadError = -2;

// Byte roles while a field is collected.
enum : unsigned char { kOrdinary = 0, kEnds = 1, kCr = 2, kQuote = 3, kComma = 4, kBlank = 5 };

// The slower byte-by-byte collection for numeric targets, where blanks end fields too.
constexpr std::array<unsigned char, 256> MakeRoles(bool blanksEnd) {
    std::array<unsigned char, 256> roles{};
    roles[0x00] = kEnds;
    roles['\n'] = kEnds;
    roles['\r'] = kCr;
    roles['"'] = kQuote;
    roles[','] = kComma;
    if (blanksEnd) {
        roles[' '] = kBlank;
        roles['\t'] = kBlank;
    }
    return roles;
}
constexpr auto kNumberRoles = MakeRoles(true);

// What can end a text field, or change what ends it. A CR matters only right before the LF,
// where it belongs to the line end; so a text field looks for the LF and drops one CR before it.
constexpr ByteSet kTextStops{'\0', '\n', ',', '"'};

bool IsBlank(int b) {
    return b == ' ' || b == '\t';
}

class Channel {
  public:
    bool Open(const Text& path, int mode) {
        if (mode < 0 || mode > 3) return Attach(nullptr, mode);
        return Attach(OpenPlatformFile(path, static_cast<OpenMode>(mode)), mode);
    }

    // Takes over an open file (or null, for a refused open) as if opened in mode 0 to 3.
    bool Attach(std::unique_ptr<PlatformFile> file, int modeNumber) {
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

    bool Close() {
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

    bool IsUsable() const { return file_ != nullptr; }
    ChannelStatus Status() const { return state_; }
    uint64_t SizeAtOpen() const { return sizeAtOpen_; }
    uint64_t Position() const { return filePos_ - (readEnd_ - readPos_) + writeLen_; }

    int AtEnd() {
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
    int Next() {
        if (readPos_ == readEnd_) {
            const int got = Refill();
            if (got <= 0) return got == 0 ? kEndOfFile : kReadError;
        }
        return static_cast<unsigned char>(buffer_[readPos_++]);
    }

    // Gives back the byte Next() just returned; it is always still in the buffer.
    void GiveBack() { --readPos_; }

    int InputFields(std::initializer_list<InputTarget> targets) {
        if (!file_ || !canRead_) return 0;
        int filled = 0;
        for (const InputTarget& target : targets) {
            if (!SkipBlanks()) return filled;
            bool endedByBlank = false;
            if (target.IsText() ? !CollectText() : !CollectField(kNumberRoles, endedByBlank)) {
                return filled;
            }
            if (endedByBlank) SkipToNextField();
            Store(target);
            ++filled;
        }
        return filled;
    }

    bool ReadBytes(char* into, std::size_t size, std::size_t& got) {
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

    bool Seek(uint64_t position) {
        if (!file_ || !canRead_ || !FlushWrites() || !file_->SeekTo(position)) return false;
        readPos_ = readEnd_ = 0;
        filePos_ = position;
        return true;
    }

    void Write(std::string_view bytes) {
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

  private:
    void Reset() {
        behind_.reset();
        file_.reset();
        state_ = ChannelStatus::Empty;
        canRead_ = false;
        readPos_ = readEnd_ = writeLen_ = 0;
        filePos_ = sizeAtOpen_ = 0;
    }

    bool WriteOut(const char* bytes, std::size_t size) {
        // Bytes written here must follow those still being written behind.
        const bool behindOk = !behind_ || behind_->Finish();
        if (!behindOk || !file_->Write(bytes, size)) {
            state_ = ChannelStatus::WriteFailed;
            return false;
        }
        filePos_ += size;
        return true;
    }

    bool FlushWrites() {
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
    int Refill() {
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

    // Drops leading blanks; false when the file ends (or a read fails) first.
    bool SkipBlanks() {
        for (;;) {
            while (readPos_ < readEnd_) {
                if (!IsBlank(buffer_[readPos_])) return true;
                ++readPos_;
            }
            if (Refill() <= 0) return false;
        }
    }

    // Collects one text field into field_: the fast path for what the converter reads.
    // False when a read fails; the bytes read so far stay consumed.
    bool CollectText() {
        field_.clear();
        bool inQuotes = false;
        for (;;) {
            if (readPos_ == readEnd_) {
                const int got = Refill();
                if (got < 0) return false;
                if (got == 0) return true;  // end of file ends the field
            }
            const char* const data = buffer_.data();
            const char* const stop = FindFirstOf(data + readPos_, data + readEnd_, kTextStops);
            field_.append(data + readPos_, stop);
            readPos_ = static_cast<std::size_t>(stop - data);
            if (readPos_ == readEnd_) continue;
            const char byte = data[readPos_++];
            switch (byte) {
                case '\n':
                    if (!field_.empty() && field_.back() == '\r') field_.pop_back();
                    return true;
                case ',':
                    if (!inQuotes) return true;
                    field_ += byte;
                    break;
                case '"':
                    inQuotes = !inQuotes;
                    field_ += byte;
                    break;
                default:  // a zero byte
                    return true;
            }
        }
    }

    // Collects one field into field_. False when a read fails: the field is then dropped,
    // and the bytes read so far stay consumed.
    bool CollectField(const std::array<unsigned char, 256>& roles, bool& endedByBlank) {
        field_.clear();
        bool inQuotes = false;
        for (;;) {
            if (readPos_ == readEnd_) {
                const int got = Refill();
                if (got < 0) return false;
                if (got == 0) return true;  // end of file ends the field
            }
            // Take the run of ordinary bytes in one piece.
            const char* const data = buffer_.data();
            std::size_t run = readPos_;
            while (run < readEnd_ && roles[static_cast<unsigned char>(data[run])] == kOrdinary) {
                ++run;
            }
            field_.append(data + readPos_, run - readPos_);
            readPos_ = run;
            if (run == readEnd_) continue;

            const char byte = data[readPos_++];
            switch (roles[static_cast<unsigned char>(byte)]) {
                case kEnds:
                    return true;
                case kQuote:
                    inQuotes = !inQuotes;
                    field_ += byte;
                    break;
                case kComma:
                    if (!inQuotes) return true;
                    field_ += byte;
                    break;
                case kBlank:
                    if (!inQuotes) {
                        endedByBlank = true;
                        return true;
                    }
                    field_ += byte;
                    break;
                case kCr: {
                    const int next = Next();
                    if (next == kReadError) return false;
                    if (next == '\n') return true;
                    // A lone CR is an ordinary byte; a CR that is the file's last byte is
                    // kept too, so that nothing of the file is lost.
                    field_ += byte;
                    if (next == kEndOfFile) return true;
                    GiveBack();
                    break;
                }
                default:
                    break;
            }
        }
    }

    // After a blank-ended field: skip blanks, and one comma after them.
    void SkipToNextField() {
        for (;;) {
            const int b = Next();
            if (b < 0) return;
            if (IsBlank(b)) continue;
            if (b != ',') GiveBack();
            return;
        }
    }

    void Store(const InputTarget& target) {
        struct Storer {
            std::string& field;
            void operator()(std::monostate) const {}
            void operator()(Text* t) const { t->Bytes().swap(field); }
            void operator()(double* v) const { *v = Number(); }
            void operator()(float* v) const { *v = static_cast<float>(Number()); }
            void operator()(int32_t* v) const { *v = static_cast<int32_t>(Integer()); }
            void operator()(int16_t* v) const { *v = static_cast<int16_t>(Integer()); }
            void operator()(int8_t* v) const { *v = static_cast<int8_t>(Integer()); }
            double Number() const { return std::strtod(field.c_str(), nullptr); }
            // Rounded to the nearest integer; the narrow types keep its low bits.
            uint32_t Integer() const {
                const double n = std::nearbyint(Number());
                if (!(n > -2147483649.0 && n < 4294967296.0)) return 0;
                return static_cast<uint32_t>(static_cast<int64_t>(n));
            }
        };
        std::visit(Storer{field_}, target.Target());
    }

    std::unique_ptr<PlatformFile> file_;
    std::unique_ptr<WriteBehind> behind_;  // output-only channels write behind
    ChannelStatus state_ = ChannelStatus::Empty;
    bool canRead_ = false;
    std::vector<char> buffer_;
    std::size_t readPos_ = 0;   // next unconsumed byte of the read-ahead
    std::size_t readEnd_ = 0;   // end of the read-ahead
    std::size_t writeLen_ = 0;  // bytes gathered for writing
    uint64_t filePos_ = 0;      // the platform file's own position
    uint64_t sizeAtOpen_ = 0;
    std::string field_;
};

std::array<Channel, kChannelCount> channels;

// Channel numbers are 1 to 256; anything else finds no channel.
Channel* Slot(int channel) {
    if (channel < 1 || channel > kChannelCount) return nullptr;
    return &channels[static_cast<std::size_t>(channel - 1)];
}

}  // namespace

void OpenChannel(const Text& path, int mode, int channel) {
    if (Channel* c = Slot(channel)) c->Open(path, mode);
}

void AttachChannel(std::unique_ptr<PlatformFile> file, int mode, int channel) {
    if (Channel* c = Slot(channel)) c->Attach(std::move(file), mode);
}

bool CloseChannel(int channel) {
    Channel* c = Slot(channel);
    return c != nullptr && c->Close();
}

int ChannelAtEnd(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? -1 : c->AtEnd();
}

int InputFields(int channel, std::initializer_list<InputTarget> targets) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->InputFields(targets);
}

bool ReadChannel(int channel, char* into, std::size_t size, std::size_t& got) {
    Channel* c = Slot(channel);
    got = 0;
    return c != nullptr && c->ReadBytes(into, size, got);
}

bool SeekChannel(int channel, uint64_t position) {
    Channel* c = Slot(channel);
    return c != nullptr && c->Seek(position);
}

void WriteChannel(int channel, std::string_view bytes) {
    if (Channel* c = Slot(channel)) c->Write(bytes);
}

void WriteChannel(int channel, const Text& text) {
    WriteChannel(channel, text.View());
}

ChannelStatus GetChannelStatus(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? ChannelStatus::Empty : c->Status();
}

uint64_t ChannelPosition(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->Position();
}

uint64_t ChannelSizeAtOpen(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->SizeAtOpen();
}

}  // namespace horofu
