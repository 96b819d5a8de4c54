// UTF-8 checks and repair, for the modern page's input and output.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/TextDecoder.h"

namespace horofu {

inline constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 character at the start of bytes, 0 when the bytes there
// are not one (an ill-formed or cut sequence, an encoded surrogate, an overlong form).
std::size_t Utf8CharLength(std::string_view bytes);

// Whether bytes, shorter than a whole character, could be the start of a well-formed one.
bool IsCutCharacter(std::string_view bytes);

// Whether bytes are a thread in UTF-8: well-formed, with at least one character outside
// ASCII. A character cut by the end of bytes is allowed when more may follow (complete false).
bool LooksLikeUtf8(std::string_view bytes, bool complete);

// Decodes UTF-8 by copying it, with each byte of an ill-formed sequence shown as U+FFFD.
class Utf8Decoder final : public TextDecoder {
  public:
    void Decode(std::string_view bytes, bool last, std::string& out) override;

  private:
    std::string pending_;  // a character cut by the end of the previous piece
};

}  // namespace horofu
