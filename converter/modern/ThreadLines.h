// A thread's physical lines in UTF-8: its bytes read from a channel, their encoding found and
// decoded, and cut at each line end (CR LF, LF or a lone CR). Reading and decoding run on a
// thread of their own, a few pieces ahead of the lines handed out (on the caller's thread,
// piece by piece, when no thread can be started).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/ByteHash.h"
#include "runtime/ChannelTable.h"
#include "runtime/TextDecoder.h"

namespace horofu {

// The encoding to read a thread in: the one named (in the core's spelling when the core knows
// it), else the one GuessEncoding finds in the first bytes, start; complete tells whether
// start is the whole thread. Called by ThreadLines.
std::string ChooseEncoding(std::string_view start, bool complete, const std::string& named);

class ThreadLines {
  public:
    // Reads channel from where it stands, writing each byte read to channel copyTo as well
    // when copyTo is not 0, and no more than limit bytes. encoding as for ChooseEncoding.
    ThreadLines(ChannelTable& channels, int channel, std::string encoding, int copyTo = 0,
                uint64_t limit = UINT64_MAX);
    ~ThreadLines();
    ThreadLines(const ThreadLines&) = delete;
    ThreadLines& operator=(const ThreadLines&) = delete;

    // The next line without its line end. A line longer than a few megabytes comes in pieces:
    // continues is then true for each piece but the last. False at the end of the thread.
    // What the reading thread threw (std::bad_alloc) is thrown here.
    bool Next(std::string_view& line, bool& continues);

    // False when the encoding is not known to this system (nothing is read then).
    bool Usable() const { return decoder_ != nullptr; }
    const std::string& Encoding() const { return encoding_; }
    uint64_t BytesRead() const { return bytesRead_; }
    // The hash of the bytes read, asked once Next has returned false or Undecodable has
    // ended the reading: two readings with the same hash and BytesRead saw the same bytes.
    uint64_t BytesHash() const { return hash_.Value(); }
    // The bytes shown as U+FFFD; ends the reading, so it is asked once all lines are taken.
    uint64_t Undecodable();

  private:
    bool Fill();              // takes the next decoded piece into text_; false at the end
    std::string_view Read();  // the next bytes of the channel, copied when asked; valid until
                              // the next call
    void Decoding();          // the reading thread: reads and decodes the rest of the thread
    void DecodeAll();         // its work
    bool DecodePiece(std::string& piece);  // reads and decodes one piece; true at the end
    void EndDecoding();                    // stops the reading thread and waits for it

    ChannelTable& channels_;
    int channel_;
    int copyTo_;
    std::string encoding_;
    std::unique_ptr<TextDecoder> decoder_;
    std::unique_ptr<char[]> input_;  // the bytes last read, before decoding
    std::string head_;               // bytes read to find the encoding, not yet decoded
    std::string text_;               // decoded text from pos_ on not yet handed out
    std::size_t pos_ = 0;
    bool ended_ = false;
    bool atStart_ = true;
    std::atomic<uint64_t> bytesRead_{0};
    uint64_t limit_;
    ByteHash hash_;  // of the bytes read, on the reading thread

    std::thread reader_;
    std::mutex lock_;  // guards what follows
    std::condition_variable changed_;
    std::deque<std::string> pieces_;  // decoded, waiting to be taken
    std::vector<std::string> spare_;  // taken, for reuse
    bool readerDone_ = false;
    std::exception_ptr failure_;  // what ended the reading thread early (memory running out)
    bool quit_ = false;
};

}  // namespace horofu
