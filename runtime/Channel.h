// One file channel: a file read ahead and written behind through one buffer, with field input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/InputTarget.h"
#include "runtime/PlatformFile.h"
#include "runtime/Text.h"
#include "runtime/WriteBehind.h"

namespace horofu {

// What went wrong on a channel since it was opened, for callers that report failures.
enum class ChannelStatus { Empty, Open, OpenFailed, ReadFailed, WriteFailed };

// A channel reads ahead and gathers writes, but every operation behaves as if the file
// position stood right after the last byte consumed: read-ahead is dropped (and the file
// position moved back) before a write, and gathered writes go out before a read or an end
// test. A channel table (ChannelTable) holds 256 of them; nothing else makes one.
class Channel {
  public:
    // Opens path in mode 0 to 3 (see OpenMode); a refused open or another mode leaves the
    // channel failed.
    bool Open(const Text& path, int mode);
    // Takes over an open file (or null, for a refused open) as if opened in mode 0 to 3.
    bool Attach(std::unique_ptr<PlatformFile> file, int modeNumber);
    // Writes what is gathered, closes the file and empties the channel; false when the
    // channel was failed or some byte did not reach the file.
    bool Close();

    ChannelStatus Status() const { return state_; }
    uint64_t SizeAtOpen() const { return sizeAtOpen_; }
    uint64_t Position() const { return filePos_ - (readEnd_ - readPos_) + writeLen_; }
    // -1 at or past the end (or when nothing is open), else 0.
    int AtEnd();

    // Field input: one field per target (FieldInput.cpp).
    int InputFields(std::initializer_list<InputTarget> targets);
    bool ReadBytes(char* into, std::size_t size, std::size_t& got);
    bool Seek(uint64_t position);
    void Write(std::string_view bytes);

  private:
    void Reset();
    bool WriteOut(const char* bytes, std::size_t size);
    bool FlushWrites();
    int Refill();  // the next stretch into the buffer: its size, 0 at the end, -1 on error
    int Next();    // the next byte, or kEndOfFile, or kReadError
    void GiveBack() { --readPos_; }  // the byte Next() just returned; still in the buffer

    // Field collection (FieldInput.cpp).
    bool SkipBlanks();
    bool CollectText();
    bool CollectField(const std::array<unsigned char, 256>& roles, bool& endedByBlank);
    void SkipToNextField();
    void Store(const InputTarget& target);

    static constexpr int kEndOfFile = -1;
    static constexpr int kReadError = -2;

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

}  // namespace horofu
