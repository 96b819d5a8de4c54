// The classic page read through a window of bytes and converted record by record: the counts,
// what happens after each record (echo, progress, stop), and records longer than the window.
// Used by the classic page, alone or for each chunk of the two-thread conversion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "converter/ConversionChannels.h"
#include "converter/ConvertThreadFile.h"
#include "converter/PageText.h"
#include "converter/PageWriter.h"
#include "converter/classic/ClassicLine.h"
#include "runtime/ByteScan.h"
#include "runtime/ChannelTable.h"
#include "runtime/FieldCut.h"

namespace horofu {

inline constexpr uint64_t kProgressEvery = 4096;  // records between progress reports
inline constexpr int kRecordCopy = 4;  // a long record from a pipe, copied to be read twice

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
inline const char* ConvertRecords(const char* p, const char* end, bool final, PageWriter& out,
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
// it is read. An echoed record this long is echoed in pieces as first read.
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

}  // namespace horofu
