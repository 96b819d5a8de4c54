// File and folder names as text for a reader.
#include "runtime/NameText.h"

#include "runtime/Ascii.h"
#include "runtime/JapaneseDecoders.h"
#include "runtime/Utf8.h"

namespace horofu {

std::string NameAsUtf8(std::string_view bytes) {
    if (!HasNonAscii(bytes) || LooksLikeUtf8(bytes, true)) return std::string(bytes);
    std::string text;
    Cp932Decoder decoder;
    decoder.Decode(bytes, true, text);
    return text;
}

}  // namespace horofu
