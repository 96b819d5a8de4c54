// A thread's physical lines in UTF-8: its bytes read from a channel, their encoding found and
// decoded, and cut at each line end (CR LF, LF or a lone CR).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/TextDecoder.h"

namespace horofu {

// The encoding to read a thread in: the one named, else UTF-8 when the first bytes start with
// a UTF-8 byte-order mark or are well-formed UTF-8 with something outside ASCII in them, else
// Shift-JIS. complete tells whether start is the whole thread. Called by ThreadLines.
std::string ChooseEncoding(std::string_view start, bool complete, const std::string& named);

class ThreadLines {
  public:
    // Reads channel from where it stands, writing each byte read to channel copyTo as well
    // when copyTo is not 0. encoding as for ChooseEncoding.
    ThreadLines(int channel, std::string encoding, int copyTo = 0);

    // The next line without its line end. A line longer than a few megabytes comes in pieces:
    // continues is then true for each piece but the last. False at the end of the thread.
    bool Next(std::string_view& line, bool& continues);

    // False when the encoding is not known to this system (nothing is read then).
    bool Usable() const { return decoder_ != nullptr; }
    const std::string& Encoding() const { return encoding_; }
    uint64_t BytesRead() const { return bytesRead_; }
    uint64_t Undecodable() const { return decoder_ ? decoder_->Undecodable() : 0; }

  private:
    bool Fill();              // decodes more of the thread into text_; false at its end
    std::string_view Read();  // the next bytes of the channel, copied when asked

    int channel_;
    int copyTo_;
    std::string encoding_;
    std::unique_ptr<TextDecoder> decoder_;
    std::string head_;  // bytes read to find the encoding, not yet decoded
    std::string text_;  // decoded text from pos_ on not yet handed out
    std::size_t pos_ = 0;
    bool ended_ = false;
    bool atStart_ = true;
    uint64_t bytesRead_ = 0;
};

}  // namespace horofu
