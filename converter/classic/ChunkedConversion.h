// The classic page of a large thread converted on two threads, chunk by chunk, written in
// order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "converter/classic/ClassicPage.h"
#include "converter/classic/RecordWindow.h"

namespace horofu {

// The conversion of a large thread on two threads. The thread is read in chunks cut after
// their last line end or zero byte, where a field always ends: each chunk converts alone to
// the same lines as in the whole. Chunks are read in order and written in order, and a thread
// converts its chunk while the other writes or reads, so both cores work. A chunk without any
// line end (a line longer than a chunk) and all after it go record by record on one thread.
class ChunkedConversion {
  public:
    ChunkedConversion(ChannelTable& channels, ConversionListener& listener, uint64_t total,
                      const ClassicTuning& tuning)
        : channels_(channels), listener_(listener), total_(total), tuning_(tuning) {}

    // Converts every chunk; false when a read failed.
    bool Run(Tally& tally) {
        std::thread helper;
        try {
            helper = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // No second thread: the first converts every chunk alone.
        }
        Work();
        if (helper.joinable()) helper.join();
        if (error_) std::rethrow_exception(error_);
        tally = tally_;
        return !readFailed_;
    }

    bool Stopped() const { return stoppedByListener_; }

  private:
    // Each thread's loop: take the next chunk, convert it, wait for its turn, write it.
    void Work() {
        try {
            std::vector<char> chunk(tuning_.chunkBytes);
            Turn turn(*this);
            PageWriter out(&turn, tuning_.chunkPageBytes);
            while (!halt_) {
                std::size_t size = 0;
                uint64_t endsAt = 0;
                bool rest = false;  // no line end in a full chunk: the rest goes record by record
                {
                    std::lock_guard lock(readMutex_);
                    if (readDone_ || halt_) return;
                    turn.ticket = nextTicket_++;
                    size = Read(chunk, rest);
                    endsAt = channels_.Position(kInput) - carry_.size();
                }
                turn.held = false;
                Tally tally;
                if (rest) {
                    if (!turn.Wait()) return;
                    RecordHook hook{channels_, listener_, false, total_};
                    WindowConversion window(channels_, chunk, size, endsAt - size, out, hook,
                                            tuning_.copyLongRecords);
                    if (!window.Run(tally)) readFailed_ = true;
                    stoppedByListener_ = hook.stopped;
                    halt_ = halt_ || hook.stopped;
                    endsAt = total_;
                } else {
                    ConvertRecords(chunk.data(), chunk.data() + size, true, out, tally, nullptr);
                }
                out.Flush();
                if (!turn.Wait()) return;
                if (!halt_) {  // a chunk after a stop is dropped
                    tally_.records += tally.records;
                    tally_.posts += tally.posts;
                    listener_.Progress(endsAt, total_);
                    if (listener_.StopRequested()) {
                        stoppedByListener_ = true;
                        halt_ = true;
                    }
                    if (channels_.Status(kOutput) != ChannelStatus::Open) halt_ = true;
                }
                turn.Pass();
            }
        } catch (...) {
            std::lock_guard lock(turnMutex_);
            if (!error_) error_ = std::current_exception();
            halt_ = true;
            broken_ = true;
            turnChanged_.notify_all();
        }
    }

    // Fills chunk with the bytes left over from the last chunk and what follows them; returns
    // how many of them form whole lines, keeping the rest for the next chunk. Called with the
    // read lock held.
    std::size_t Read(std::vector<char>& chunk, bool& rest) {
        const std::size_t carried = carry_.size();
        std::memcpy(chunk.data(), carry_.data(), carried);
        carry_.clear();
        std::size_t got = 0;
        if (!channels_.Read(kInput, chunk.data() + carried, chunk.size() - carried, got)) {
            readFailed_ = true;
            readDone_ = true;
            return 0;
        }
        const std::size_t size = carried + got;
        if (size < chunk.size()) {  // the end of the input
            readDone_ = true;
            return size;
        }
        std::size_t cut = size;
        while (cut > 0 && chunk[cut - 1] != '\n' && chunk[cut - 1] != '\0') --cut;
        if (cut == 0) {
            rest = true;
            readDone_ = true;
            return size;
        }
        carry_.assign(chunk.data() + cut, size - cut);
        return cut;
    }

    // A thread's place in the order of writing, and the sink of its page writer: its bytes
    // go out only once every earlier chunk is written.
    struct Turn : PageSink {
        explicit Turn(ChunkedConversion& c) : conversion(c) {}
        void Take(std::string_view bytes) override {
            if (Wait() && !conversion.halt_) conversion.channels_.Write(kOutput, bytes);
        }
        // False when the other thread failed: this one's bytes are dropped, and it gives up.
        bool Wait() {
            if (held) return true;
            std::unique_lock lock(conversion.turnMutex_);
            conversion.turnChanged_.wait(
                lock, [this] { return conversion.written_ == ticket || conversion.broken_; });
            held = !conversion.broken_;
            return held;
        }
        void Pass() {
            if (!Wait()) return;
            std::lock_guard lock(conversion.turnMutex_);
            conversion.written_ = ticket + 1;
            held = false;
            conversion.turnChanged_.notify_all();
        }
        ChunkedConversion& conversion;
        uint64_t ticket = 0;
        bool held = false;
    };

    ChannelTable& channels_;
    ConversionListener& listener_;
    const uint64_t total_;
    const ClassicTuning& tuning_;

    std::mutex readMutex_;  // reading: the channel, the carry, the tickets
    std::string carry_;
    uint64_t nextTicket_ = 0;
    bool readDone_ = false;

    std::mutex turnMutex_;  // writing: whose turn it is
    std::condition_variable turnChanged_;
    uint64_t written_ = 0;
    bool broken_ = false;
    std::exception_ptr error_;

    // Touched only by the thread whose turn it is (halt_ is also read by the others).
    std::atomic<bool> halt_{false};
    std::atomic<bool> readFailed_{false};
    bool stoppedByListener_ = false;
    Tally tally_;
};

}  // namespace horofu
