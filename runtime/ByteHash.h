// A cheap hash of a stream of bytes, the same however the stream is cut into pieces: enough to
// tell whether a file read twice gave the same bytes both times, not to resist anyone.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace horofu {

class ByteHash {
  public:
    // Called with each piece as read, in order.
    void Add(std::string_view bytes) {
        const char* at = bytes.data();
        const char* const end = at + bytes.size();
        while (filled_ != 0 && at != end) AddByte(static_cast<unsigned char>(*at++));
        // Whole words a multiply each: a fraction of what reading the bytes costs.
        for (; end - at >= 8; at += 8) {
            uint64_t word = 0;
            std::memcpy(&word, at, 8);
            Mix(word);
        }
        while (at != end) AddByte(static_cast<unsigned char>(*at++));
    }

    // The hash of everything added so far.
    uint64_t Value() const {
        ByteHash last = *this;
        last.Mix(last.word_ ^ (uint64_t{last.filled_} << 56));
        return last.state_;
    }

  private:
    void AddByte(unsigned char byte) {
        word_ |= uint64_t{byte} << (8 * filled_);
        if (++filled_ == 8) {
            Mix(word_);
            word_ = 0;
            filled_ = 0;
        }
    }
    void Mix(uint64_t word) {
        state_ = (state_ ^ word) * 0x9E3779B97F4A7C15u;
        state_ ^= state_ >> 29;
    }

    uint64_t state_ = 0xCBF29CE484222325u;
    uint64_t word_ = 0;    // the bytes of an unfinished word, first byte lowest
    unsigned filled_ = 0;  // how many
};

}  // namespace horofu
