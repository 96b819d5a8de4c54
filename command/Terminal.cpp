// What every terminal shares: control bytes made visible, and lines of the program's text.
#include "command/Terminal.h"

#include <cstdio>

namespace horofu {

std::string Terminal::ShowControls(std::string_view shown) const {
    // In Shift-JIS no trail byte is below 0x40 or 0x7F, and in UTF-8 no byte of a longer
    // character is below 0x80, so a byte in these ranges is always a control character.
    const bool utf8 = ShowsUtf8();
    std::string out;
    out.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            out += '^';
            out += static_cast<char>(b ^ 0x40);
        } else if (utf8 && b == 0xC2 && i + 1 < shown.size() &&
                   (static_cast<unsigned char>(shown[i + 1]) & 0xE0) == 0x80) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned char>(shown[i + 1]));
            out += code;
            ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string Terminal::Shown(StandardStream stream, std::string_view programText) const {
    const std::string shown = FromProgramText(programText);
    return IsTerminal(stream) ? ShowControls(shown) : shown;
}

void Terminal::Say(StandardStream stream, std::string_view programText) {
    Write(stream, Shown(stream, programText) + "\n");
}

}  // namespace horofu
