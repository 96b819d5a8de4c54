// The blanks of a thread's text as people type them: space, tab and the ideographic space
// U+3000 (E3 80 80).
#pragma once

#include <string_view>

namespace horofu {

// text without the blanks at either end: a title line, a rule of an NG file.
inline std::string_view WithoutEndBlanks(std::string_view text) {
    constexpr std::string_view kWideSpace = "\xE3\x80\x80";  // U+3000
    for (;;) {
        if (text.starts_with(' ') || text.starts_with('\t')) {
            text.remove_prefix(1);
        } else if (text.starts_with(kWideSpace)) {
            text.remove_prefix(kWideSpace.size());
        } else if (text.ends_with(' ') || text.ends_with('\t')) {
            text.remove_suffix(1);
        } else if (text.ends_with(kWideSpace)) {
            text.remove_suffix(kWideSpace.size());
        } else {
            return text;
        }
    }
}

}  // namespace horofu
