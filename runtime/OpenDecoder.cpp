// Choosing the decoder for an encoding's name: the core's own where it has one.
#include "runtime/EncodingNames.h"
#include "runtime/JapaneseDecoders.h"
#include "runtime/TextDecoder.h"
#include "runtime/Utf8.h"

namespace horofu {

std::unique_ptr<TextDecoder> OpenDecoder(const std::string& encoding) {
    switch (EncodingFromName(encoding)) {
        case Encoding::Utf8:
            return std::make_unique<Utf8Decoder>();
        case Encoding::ShiftJis:
            return std::make_unique<Cp932Decoder>();
        case Encoding::EucJp:
            return std::make_unique<EucJpDecoder>();
        case Encoding::Utf16Le:
            return std::make_unique<Utf16Decoder>(false);
        case Encoding::Utf16Be:
            return std::make_unique<Utf16Decoder>(true);
        case Encoding::Other:
            break;
    }
    return OpenPlatformDecoder(encoding);
}

}  // namespace horofu
