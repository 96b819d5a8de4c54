// The classic page: the thread read in large pieces and cut into records in memory, converted
// on two threads at once when it is large, record by record when the records are echoed.
#include "converter/classic/ClassicPage.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "converter/ConversionFailure.h"
#include "converter/PageText.h"
#include "converter/PageWriter.h"
#include "converter/classic/ClassicLine.h"
#include "runtime/ChannelTable.h"
#include "runtime/FieldCut.h"

namespace horofu {
namespace {

constexpr uint64_t kProgressEvery = 4096;  // records between progress reports
constexpr int kRecordCopy = 4;             // a long record from a pipe, copied to be read twice

struct Tally {
    uint64_t records = 0;
    uint64_t posts = 0;
};

// What the record-by-record conversion does besides writing: echo, progress, stop.
struct RecordHook {
    RecordHook(ChannelTable& c, ConversionListener& l, bool wantsEcho, uint64_t size)
        : channels(c), listener(l), echo(wantsEcho), total(size) {}

    ChannelTable& channels;
    ConversionListener& listener;
    bool echo;
    uint64_t total;
    uint64_t windowAt = 0;  // the file offset of the window's first byte
    const char* window = nullptr;
    Text echoed;
    bool stopped = false;

    // A piece of a record too long to hold, as first read; After ends its line.
    void EchoPiece(std::string_view piece) {
        if (!echo) return;
        echoed.Bytes().assign(piece);
        listener.Echo(echoed);
    }

    // After each record (of a long record, only its line end is echoed here); next is where
    // the next field starts. False to stop.
    bool After(std::string_view record, const char* next, const Tally& tally) {
        if (echo) {
            echoed.Bytes().assign(record);
            echoed.Bytes().append(page::kLineEnd);
            listener.Echo(echoed);
        }
        if (tally.records % kProgressEvery == 0) {
            listener.Progress(windowAt + static_cast<uint64_t>(next - window), total);
            if (channels.Status(kOutput) != ChannelStatus::Open) return false;  // no use going on
        }
        if (listener.StopRequested()) {
            stopped = true;
            return false;
        }
        return true;
    }
};

// Converts the records in [p, end). final: end is the end of the input, which ends the last
// field; otherwise a field that runs up to end is left alone. Returns where the first record
// not converted starts (end once all are), or null when the hook stopped the conversion.
const char* ConvertRecords(const char* p, const char* end, bool final, PageWriter& out,
                           Tally& tally, RecordHook* hook) {
    for (;;) {
        const char* const start = SkipFieldBlanks(p, end);
        // Blanks after the last line end hold no field: no record, nothing written.
        if (start == end) return end;
        FieldEnd field = FindFieldEnd(start, end);
        if (field.next == nullptr) {
            if (!final) return start;
            field = {end, end};  // the end of the input ends the field; a last CR stays in it
        }
        const std::string_view record(start, static_cast<std::size_t>(field.end - start));
        ++tally.records;
        if (PutClassicLine(out, record)) ++tally.posts;
        if (hook != nullptr && !hook->After(record, field.next, tally)) return nullptr;
        p = field.next;
    }
}

// The thread read through a window of bytes, converted record by record. A record longer than
// the window is classified in one pass and written in a second over the same bytes, so memory
// stays bounded; where the input cannot seek (a pipe) the record is copied to a scratch file as
// it is read. An echoed record is held whole: the window grows to hold it.
class WindowConversion {
  public:
    WindowConversion(ChannelTable& channels, std::vector<char>& window, std::size_t filled,
                     uint64_t windowAt, PageWriter& out, RecordHook& hook, bool copyLongRecords)
        : channels_(channels),
          w_(window),
          end_(filled),
          windowAt_(windowAt),
          copyLongRecords_(copyLongRecords),
          out_(out),
          hook_(hook) {}

    // Converts up to the end of the input; false when a read failed.
    bool Run(Tally& tally) {
        for (;;) {
            if (!eof_ && (pos_ > 0 || end_ < w_.size()) && !Refill()) return false;
            hook_.window = w_.data();
            hook_.windowAt = windowAt_;
            const char* const stop =
                ConvertRecords(w_.data() + pos_, w_.data() + end_, eof_, out_, tally, &hook_);
            if (stop == nullptr) return true;
            pos_ = static_cast<std::size_t>(stop - w_.data());
            if (eof_ && pos_ == end_) return true;
            if (pos_ > 0 || end_ < w_.size()) continue;
            // A record fills the whole window: read it twice, from the input where it can
            // seek, else from a copy; an echo gets it in pieces as first read.
            const int source = SecondReading();
            if (source == 0) {
                w_.resize(w_.size() * 2);
            } else if (!ConvertLongRecord(tally, source)) {
                return false;
            } else if (halted_) {
                return true;
            }
        }
    }

  private:
    // Moves the unconverted bytes to the front and fills the rest of the window.
    bool Refill() {
        if (pos_ > 0) {
            std::memmove(w_.data(), w_.data() + pos_, end_ - pos_);
            windowAt_ += pos_;
            end_ -= pos_;
            pos_ = 0;
        }
        std::size_t got = 0;
        if (!channels_.Read(kInput, w_.data() + end_, w_.size() - end_, got)) return false;
        end_ += got;
        eof_ = got == 0 || end_ < w_.size();
        return true;
    }

    // Where a long record can be read again: the input itself where it can seek, else a
    // scratch copy made while it is read the first time (a pipe); 0 when neither can be had.
    int SecondReading() {
        if (!copyLongRecords_ && channels_.Seek(kInput, windowAt_ + end_)) return kInput;
        if (channels_.Status(kRecordCopy) != ChannelStatus::Open) {
            channels_.Attach(OpenScratchFile(), 0, kRecordCopy);
        }
        return channels_.Status(kRecordCopy) == ChannelStatus::Open ? kRecordCopy : 0;
    }

    // The record that starts the full window: found and classified in a first pass that keeps
    // only a few bytes of each window, then read again from source piece by piece for its
    // line. The bytes after it stay in the window.
    bool ConvertLongRecord(Tally& tally, int source) {
        const bool copy = source != kInput;
        const uint64_t start = copy ? channels_.Position(source) : windowAt_;
        const unsigned char first = static_cast<unsigned char>(w_[0]);
        const unsigned char second = static_cast<unsigned char>(w_[1]);
        RecordMarks marks;
        bool inQuotes = false;
        uint64_t at = 0;        // the record offset of the window's first byte
        std::size_t fresh = 0;  // bytes of the window not looked through yet
        uint64_t size = 0;
        uint64_t echoed = 0;  // the record's bytes echoed so far
        unsigned char last = 0;
        for (;;) {
            const char* const base = w_.data();
            const char* q = base + fresh;
            const char* fieldEnd = nullptr;
            for (; q < base + end_; ++q) {
                q = FindFirstOf(q, base + end_, kFieldStops);
                if (q == base + end_) break;
                if (*q == '"') {
                    inQuotes = !inQuotes;
                } else if (*q != ',' || !inQuotes) {
                    fieldEnd = *q == '\n' && q[-1] == '\r' ? q - 1 : q;
                    break;
                }
            }
            if (fieldEnd != nullptr || eof_) {
                if (fieldEnd == nullptr) fieldEnd = base + end_;
                const auto n = static_cast<std::size_t>(fieldEnd - base);
                if (copy && n > fresh)
                    channels_.Write(source, std::string_view(base + fresh, n - fresh));
                const auto from = static_cast<std::size_t>(echoed - at);
                if (n > from) hook_.EchoPiece(std::string_view(base + from, n - from));
                marks.Scan(std::string_view(base, n), fresh, at);
                size = at + n;
                last = static_cast<unsigned char>(fieldEnd[-1]);
                pos_ = q == base + end_ ? end_ : static_cast<std::size_t>(q - base) + 1;
                break;
            }
            if (copy) channels_.Write(source, std::string_view(base + fresh, end_ - fresh));
            // A CR at the window's end may be the line end's: echoed once the next byte shows.
            const std::size_t upTo = end_ - (base[end_ - 1] == '\r' ? 1 : 0);
            const auto from = static_cast<std::size_t>(echoed - at);
            if (upTo > from) hook_.EchoPiece(std::string_view(base + from, upTo - from));
            echoed = at + std::max(upTo, from);
            marks.Scan(std::string_view(base, end_), fresh, at);
            const std::size_t keep = RecordMarks::Overlap(end_);
            std::memmove(w_.data(), base + end_ - keep, keep);
            at += end_ - keep;
            windowAt_ += end_ - keep;
            fresh = keep;
            end_ = keep;
            std::size_t got = 0;
            if (!channels_.Read(kInput, w_.data() + end_, w_.size() - end_, got)) return false;
            end_ += got;
            eof_ = got == 0;
        }

        const RecordKind kind = marks.Resolve(size);
        out_.Put(page::kLineStart);
        bool ok = true;
        auto put = [&](uint64_t from, uint64_t to) {
            ok = ok && PutEscapedAgain(source, start + from, start + to);
        };
        if (kind.IsHeader()) {
            const uint64_t name = kind.nameAt;
            out_.Put(page::kTermOpen);
            out_.Put(page::kAnchorNameOpen);
            put(0, name > 0 && EndsInBlank(marks.BeforeName()) ? name - 1 : name);
            out_.Put(page::kAttributeClose);
            put(0, name);
            out_.Put(page::kAnchorClose);
            out_.Put(page::kNameLabel);
            out_.Put(page::kNameOpen);
            put(name + sizeof page::kNameLabel - 1, kind.dateAt);
            out_.Put(page::kNameClose);
            out_.Put(std::string_view(kind.placeholder));
            out_.Put(page::kTermClose);
        } else {
            out_.Put(page::kDescriptionOpen);
            if (first == '>' && second == '>') {
                const uint64_t numberEnd = EndsInBlank(last) ? size - 1 : size;
                out_.Put(page::kAnchorHrefOpen);
                put(2, numberEnd);
                out_.Put(page::kAttributeClose);
                out_.Put(page::kReplyText);
                put(2, numberEnd);
                out_.Put(page::kAnchorClose);
            } else {
                put(0, size);
            }
            out_.Put(page::kDescriptionClose);
        }
        out_.PutLine(page::kBreak);
        ++tally.records;
        if (kind.IsHeader()) ++tally.posts;

        // Go on with the bytes after the record, from where the first reading stopped.
        if (!ok || (!copy && !channels_.Seek(kInput, windowAt_ + end_))) return false;
        hook_.window = w_.data();
        hook_.windowAt = windowAt_;
        halted_ = !hook_.After({}, w_.data() + pos_, tally);
        return true;
    }

    // Reads the bytes [from, to) of source again and writes them escaped.
    bool PutEscapedAgain(int source, uint64_t from, uint64_t to) {
        if (!channels_.Seek(source, from)) return false;
        again_.resize(kAgainBytes);
        while (from < to) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<uint64_t>(to - from, again_.size()));
            std::size_t got = 0;
            if (!channels_.Read(source, again_.data(), want, got) || got == 0) return false;
            out_.PutEscaped(std::string_view(again_.data(), got));
            from += got;
        }
        return true;
    }

    static constexpr std::size_t kAgainBytes = 64 * 1024;

    ChannelTable& channels_;
    std::vector<char>& w_;
    std::size_t pos_ = 0;
    std::size_t end_;
    uint64_t windowAt_;
    bool copyLongRecords_;
    bool eof_ = false;
    bool halted_ = false;      // the hook stopped the conversion after a long record
    std::vector<char> again_;  // a long record's bytes read the second time
    PageWriter& out_;
    RecordHook& hook_;
};

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

ConversionResult ConvertClassic(ChannelTable& channels, ConversionListener& listener,
                                const ClassicTuning& tuning) {
    ConversionResult result;
    const uint64_t total = channels.SizeAtOpen(kInput);
    bool readOk = true;
    {
        ChannelSink page(channels);
        PageWriter out(&page);
        out.PutLine(page::kHtmlOpen);
        out.PutLine(page::kBodyOpen);
        out.PutLine(page::kListOpen);
        out.Flush();

        Tally tally;
        // Two threads for more than a chunk, or a pipe (size 0: unknown); echoed records are
        // shown in order as they are read, so an echo keeps to one.
        const bool echo = listener.WantsEcho();
        if (!echo && tuning.threads > 1 && (total > tuning.chunkBytes || total == 0)) {
            ChunkedConversion chunked(channels, listener, total, tuning);
            readOk = chunked.Run(tally);
            if (chunked.Stopped()) result.outcome = ConversionOutcome::Stopped;
        } else {
            std::vector<char> window(tuning.chunkBytes);
            RecordHook hook{channels, listener, echo, total};
            WindowConversion conversion(channels, window, 0, 0, out, hook, tuning.copyLongRecords);
            readOk = conversion.Run(tally);
            listener.Progress(channels.Position(kInput), total);
            if (hook.stopped) result.outcome = ConversionOutcome::Stopped;
        }
        result.records = tally.records;
        result.posts = tally.posts;

        out.PutLine(page::kListClose);
        out.PutLine(page::kBodyClose);
        out.PutLine(page::kHtmlClose);
    }
    result.bytesWritten = channels.Position(kOutput);
    readOk = readOk && channels.Status(kInput) == ChannelStatus::Open;
    const bool written = channels.Close(kOutput);
    channels.Close(kInput);
    channels.Close(kRecordCopy);
    if (result.outcome == ConversionOutcome::Done) {
        if (!readOk) {
            result.outcome = ConversionOutcome::ReadFailed;
        } else if (!written) {
            result.outcome = ConversionOutcome::WriteFailed;
        }
    }
    return result;
}

}  // namespace

ConversionResult ConvertClassicChannels(ChannelTable& channels, ConversionListener& listener,
                                        const ClassicTuning& tuning) {
    if (channels.Status(kInput) != ChannelStatus::Open ||
        channels.Status(kOutput) != ChannelStatus::Open) {
        ConversionResult result;
        result.outcome = channels.Status(kInput) != ChannelStatus::Open
                             ? ConversionOutcome::InputNotOpened
                             : ConversionOutcome::OutputNotCreated;
        channels.Close(kOutput);
        channels.Close(kInput);
        return result;
    }
    // A window must hold more than the few bytes kept between the windows of a long record.
    ClassicTuning sized = tuning;
    sized.chunkBytes = std::max<std::size_t>(sized.chunkBytes, 64);
    try {
        return ConvertClassic(channels, listener, sized);
    } catch (...) {
        // Out of memory, or worse: the page is incomplete, and the caller removes it.
        channels.Close(kOutput);
        channels.Close(kInput);
        channels.Close(kRecordCopy);
        return FailedConversion();
    }
}

}  // namespace horofu
