// Names of the encodings the core knows.
#include "runtime/EncodingNames.h"

#include <array>

#include "runtime/Ascii.h"

namespace horofu {

Encoding EncodingFromName(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c != '-' && c != '_') key += AsciiUpper(c);
    }
    struct Known {
        std::string_view key;
        Encoding encoding;
    };
    static constexpr std::array<Known, 17> kKnown{{
        {"UTF8", Encoding::Utf8},
        {"CP932", Encoding::ShiftJis},
        {"SHIFTJIS", Encoding::ShiftJis},
        {"SJIS", Encoding::ShiftJis},
        {"WINDOWS31J", Encoding::ShiftJis},
        {"MSKANJI", Encoding::ShiftJis},
        {"CSSHIFTJIS", Encoding::ShiftJis},
        {"IBM943", Encoding::ShiftJis},
        {"MS932", Encoding::ShiftJis},
        {"EUCJP", Encoding::EucJp},
        {"EUCJPMS", Encoding::EucJp},
        {"CSEUCPKDFMTJAPANESE", Encoding::EucJp},
        {"UJIS", Encoding::EucJp},
        {"UTF16LE", Encoding::Utf16Le},
        {"UTF16BE", Encoding::Utf16Be},
        {"UTF16", Encoding::Utf16Le},  // without a byte-order mark, as Windows writes it
        {"UCS2LE", Encoding::Utf16Le},
    }};
    for (const Known& known : kKnown) {
        if (known.key == key) return known.encoding;
    }
    return Encoding::Other;
}

std::string_view EncodingName(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
            return "UTF-8";
        case Encoding::ShiftJis:
            return "CP932";
        case Encoding::EucJp:
            return "EUC-JP";
        case Encoding::Utf16Le:
            return "UTF-16LE";
        case Encoding::Utf16Be:
            return "UTF-16BE";
        case Encoding::Other:
            break;
    }
    return "";
}

}  // namespace horofu
