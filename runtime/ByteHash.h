// A cheap hash of a stream of bytes, the same however the stream is cut into pieces: enough to
// tell whether a file read twice gave the same bytes both times, not to resist anyone.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace horofu {

// Whole words are taken as they stand in memory, with the first byte lowest as in AddByte.
static_assert(std::endian::native == std::endian::little, "ByteHash reads words little-endian");

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
        return last.state_ * 0xFF51AFD7ED558CCDu;
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
    // The multiply stays off the chain from word to word, so words go at the pace of a rotate
    // and an exclusive or. A word changed alone always changes the hash.
    void Mix(uint64_t word) { state_ = std::rotl(state_, 23) ^ (word * 0x9E3779B97F4A7C15u); }

    uint64_t state_ = 0xCBF29CE484222325u;
    uint64_t word_ = 0;    // the bytes of an unfinished word, first byte lowest
    unsigned filled_ = 0;  // how many
};

}  // namespace horofu
