// Collects the bytes of a page and hands them to the page's channel in large pieces.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "converter/PageText.h"
#include "runtime/ByteScan.h"
#include "runtime/Channels.h"

namespace horofu {

// The channels every conversion uses: the thread is read on 1, the page written on 2.
constexpr int kInput = 1;
constexpr int kOutput = 2;

// Gathers the page's lines and hands them to the output channel in large pieces. Each line
// is a dozen small pieces; copying them here keeps the per-record cost to a few moves.
class PageWriter {
  public:
    PageWriter() : data_(new char[kFlushAt + 256]), capacity_(kFlushAt + 256) {}
    ~PageWriter() { Flush(); }

    template <std::size_t N>
    void Put(const char (&literal)[N]) {
        Reserve(N - 1);
        std::memcpy(data_.get() + size_, literal, N - 1);
        size_ += N - 1;
    }
    void Put(std::string_view bytes) {
        Reserve(bytes.size());
        std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    template <std::size_t N>
    void PutLine(const char (&literal)[N]) {
        Put(literal);
        Put(page::kLineEnd);
        if (size_ >= kFlushAt) Flush();
    }

    // Writes record-derived bytes with &, <, > and " escaped, so that no text of the thread
    // can open a tag or leave an attribute. None of them is ever a Shift-JIS trail byte.
    void PutEscaped(std::string_view bytes) {
        static constexpr ByteSet kSpecial{'&', '<', '>', '"'};
        Reserve(bytes.size() * 6);
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
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

    void Flush() {
        if (size_ == 0) return;
        WriteChannel(kOutput, std::string_view(data_.get(), size_));
        size_ = 0;
    }

  private:
    static constexpr std::size_t kFlushAt = 256 * 1024;

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
    std::size_t size_ = 0;
};

}  // namespace horofu
