// Conversion of Shift-JIS text to the locale's encoding with glibc's iconv.
#include "platform/posix/TerminalText.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdio>

#include "runtime/EncodingNames.h"

namespace horofu {
namespace {

bool IsShiftJisCodeset(const std::string& name) {
    return EncodingFromName(name) == Encoding::ShiftJis;
}

// Runs iconv over the whole input; an invalid or unconvertible byte becomes replacement.
std::string Run(void* handle, std::string_view in, std::string_view replacement) {
    auto cd = static_cast<iconv_t>(handle);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char chunk[4096];
    while (srcLeft > 0) {
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or a character cut off at the end: replace one byte and go on.
            out.append(replacement);
            ++src;
            --srcLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace

TerminalText::TerminalText() {
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset != nullptr && IsShiftJisCodeset(codeset)) return;
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd != reinterpret_cast<iconv_t>(-1)) toLocale_ = cd;
}

TerminalText::~TerminalText() {
    if (toLocale_ != nullptr) ::iconv_close(static_cast<iconv_t>(toLocale_));
}

std::string TerminalText::Convert(std::string_view shiftJis) {
    if (toLocale_ == nullptr) return std::string(shiftJis);
    return Run(toLocale_, shiftJis, "\xEF\xBF\xBD");
}

std::string TerminalText::ShowControls(std::string_view localeText) const {
    // In Shift-JIS no trail byte is below 0x40 or 0x7F, and in UTF-8 no byte of a longer
    // character is below 0x80, so a byte in these ranges is always a control character.
    const bool utf8 = !PassesShiftJis();
    std::string out;
    out.reserve(localeText.size());
    for (std::size_t i = 0; i < localeText.size(); ++i) {
        const auto b = static_cast<unsigned char>(localeText[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            out += '^';
            out += static_cast<char>(b ^ 0x40);
        } else if (utf8 && b == 0xC2 && i + 1 < localeText.size() &&
                   (static_cast<unsigned char>(localeText[i + 1]) & 0xE0) == 0x80) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>",
                          static_cast<unsigned char>(localeText[i + 1]));
            out += code;
            ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

}  // namespace horofu
