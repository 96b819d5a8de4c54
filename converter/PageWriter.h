// Collects the bytes of a page and hands them on in large pieces, in bounded memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "converter/ConversionChannels.h"
#include "converter/PageText.h"
#include "runtime/ByteScan.h"
#include "runtime/ChannelTable.h"

namespace horofu {

// Where a page writer's bytes go when they are handed on.
class PageSink {
  public:
    virtual ~PageSink() = default;
    virtual void Take(std::string_view bytes) = 0;
};

// The page's channel of a conversion's table, as a page writer's sink.
class ChannelSink : public PageSink {
  public:
    explicit ChannelSink(ChannelTable& channels) : channels_(channels) {}
    void Take(std::string_view bytes) override { channels_.Write(kOutput, bytes); }

  private:
    ChannelTable& channels_;
};

// Gathers the page's lines and hands them on in large pieces to a sink: the page's channel
// (ChannelSink), or the classic page's threads, which write their pieces in turn. Each line is a
// dozen small pieces; copying them here keeps the per-record cost to a few moves. The buffer never
// holds much more than flushAt bytes, however long a record is.
class PageWriter {
  public:
    static constexpr std::size_t kFlushAt = 256 * 1024;

    explicit PageWriter(PageSink* sink, std::size_t flushAt = kFlushAt)
        : data_(new char[flushAt + kSlack]),
          capacity_(flushAt + kSlack),
          flushAt_(flushAt),
          sink_(sink) {}
    ~PageWriter() { Flush(); }
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    template <std::size_t N>
    void Put(const char (&literal)[N]) {
        Reserve(N - 1);
        std::memcpy(data_.get() + size_, literal, N - 1);
        size_ += N - 1;
    }
    // Bytes as they are (fixed texts, or bytes that hold nothing to escape).
    void Put(std::string_view bytes) {
        while (bytes.size() > kSlice) {
            Put(bytes.substr(0, kSlice));
            bytes.remove_prefix(kSlice);
        }
        Reserve(bytes.size());
        std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
        if (size_ >= flushAt_) Flush();
    }
    template <std::size_t N>
    void PutLine(const char (&literal)[N]) {
        Put(literal);
        Put(page::kLineEnd);
        if (size_ >= flushAt_) Flush();
    }

    // Writes record-derived bytes with &, <, > and " escaped, so that no text of the thread
    // can open a tag or leave an attribute. None of them is ever a Shift-JIS trail byte, so
    // bytes may be escaped in pieces: a long record goes out a slice at a time.
    void PutEscaped(std::string_view bytes) {
        while (bytes.size() > kSlice) {
            PutEscapedSlice(bytes.substr(0, kSlice));
            bytes.remove_prefix(kSlice);
            if (size_ >= flushAt_) Flush();
        }
        PutEscapedSlice(bytes);
        if (size_ >= flushAt_) Flush();
    }

    // Hands on what is gathered.
    void Flush() {
        if (size_ == 0) return;
        const std::string_view bytes(data_.get(), size_);
        size_ = 0;
        sink_->Take(bytes);
    }

  private:
    static constexpr std::size_t kSlice = 16 * 1024;  // escaped bytes grow to 6 times this
    static constexpr std::size_t kSlack = 8 * kSlice;

    void PutEscapedSlice(std::string_view bytes) {
        static constexpr ByteSet kSpecial{'&', '<', '>', '"'};
        Reserve(bytes.size() * 6);
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        if (bytes.size() < 16) {
            // A header's parts and other short texts: a byte at a time, with no set-up.
            char* out = data_.get() + size_;
            for (; p != end; ++p) {
                switch (*p) {
                    case '&':
                        out = Copy(out, "&amp;");
                        break;
                    case '<':
                        out = Copy(out, "&lt;");
                        break;
                    case '>':
                        out = Copy(out, "&gt;");
                        break;
                    case '"':
                        out = Copy(out, "&quot;");
                        break;
                    default:
                        *out++ = *p;
                }
            }
            size_ = static_cast<std::size_t>(out - data_.get());
            return;
        }
        for (;;) {
            const char* const stop = FindFirstOf(p, end, kSpecial);
            std::memcpy(data_.get() + size_, p, static_cast<std::size_t>(stop - p));
            size_ += static_cast<std::size_t>(stop - p);
            if (stop == end) return;
            switch (*stop) {
                case '&':
                    Put("&amp;");
                    break;
                case '<':
                    Put("&lt;");
                    break;
                case '>':
                    Put("&gt;");
                    break;
                default:
                    Put("&quot;");
                    break;
            }
            p = stop + 1;
        }
    }

    template <std::size_t N>
    static char* Copy(char* out, const char (&literal)[N]) {
        std::memcpy(out, literal, N - 1);
        return out + N - 1;
    }

    // Pieces are at most a slice (six once escaped), so this grows the buffer only when a
    // piece arrives right before a flush point.
    void Reserve(std::size_t more) {
        if (size_ + more <= capacity_) return;
        const std::size_t capacity = std::max(capacity_ * 2, size_ + more);
        std::unique_ptr<char[]> grown(new char[capacity]);
        std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t capacity_;
    std::size_t flushAt_;
    PageSink* sink_;
    std::size_t size_ = 0;
};

}  // namespace horofu
