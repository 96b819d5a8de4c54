// The core's decoders for the Japanese encodings threads are saved in: CP932 and EUC-JP
// (through CP932's table), and UTF-16 with or without a byte-order mark.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/TextDecoder.h"

namespace horofu {

// Appends the UTF-8 of a code point (below U+110000, no surrogate). Called by the decoders
// and for the character references of .dat lines.
void AppendCodePoint(uint32_t code, std::string& out);

// Made by OpenDecoder for CP932 and every name of Shift-JIS.
class Cp932Decoder final : public TextDecoder {
  public:
    void Decode(std::string_view bytes, bool last, std::string& out) override;

  private:
    // Writes a table entry's UTF-8 (its length in the top byte), or U+FFFD for 0. Inline:
    // it runs for every character of a Shift-JIS thread.
    char* Put(uint32_t entry, char* dst) {
        if (entry == 0) return PutReplacement(dst);
        std::memcpy(dst, &entry, 4);  // the fourth byte is overwritten by what follows
        return dst + (entry >> 24);
    }
    char* PutReplacement(char* dst);
    int pending_ = -1;  // a lead byte that ended the last piece
};

// EUC-JP: ASCII, JIS X 0208 in two bytes A1-FE (mapped through CP932's table, so that the
// vendors' rows read as they do in CP932), half-width katakana after 8E, JIS X 0212 after 8F
// (three bytes that are no character are one U+FFFD).
class EucJpDecoder final : public TextDecoder {
  public:
    void Decode(std::string_view bytes, bool last, std::string& out) override;
};

// UTF-16, little-endian unless a byte-order mark says otherwise (the mark is kept, as
// U+FEFF, for the reader of the text to drop). A lone surrogate is one U+FFFD.
class Utf16Decoder final : public TextDecoder {
  public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
    void Decode(std::string_view bytes, bool last, std::string& out) override;

  private:
    bool bigEndian_;
    bool atStart_ = true;
    uint16_t high_ = 0;  // a high surrogate waiting for its low half
};

}  // namespace horofu
