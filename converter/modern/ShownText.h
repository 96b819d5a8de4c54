// Thread text as the modern page shows it: control characters never reach the page raw (a
// page that `cat` prints must not replay a terminal's escape sequences), and in IDs and
// addresses the invisible marks that reorder or join text are shown, so that nothing can pass
// for what it is not.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "converter/PageWriter.h"

namespace horofu {

// Which invisible characters are shown. Controls (C0 but TAB and line ends, DEL, C1) always
// are; marks (bidi controls, zero-width characters, the byte-order mark, soft hyphen) only in
// IDs and addresses, as ordinary text may use them for its own script.
enum class Marks : bool { Kept, Shown };

// The length of the character at text[at] when it is one to replace, else 0; replacement is
// then either a visible character (plain text) or the markup of a shown mark.
std::size_t HiddenAt(std::string_view text, std::size_t at, Marks marks,
                     std::string_view& replacement, bool& markup);

// Whether the byte may start a character HiddenAt replaces: the quick test for each byte.
inline bool MayHide(unsigned char b, Marks marks) {
    return b < 0x20 || b == 0x7F || b == 0xC2 ||
           (marks == Marks::Shown && (b == 0xD8 || b == 0xE1 || b == 0xE2 || b == 0xEF));
}

// Calls plain(piece) for the stretches to escape and mark(piece) for the replacements that
// are markup already, in order.
template <typename Plain, typename Markup>
void ForEachShown(std::string_view text, Marks marks, Plain plain, Markup markup) {
    std::size_t done = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (!MayHide(static_cast<unsigned char>(text[at]), marks)) {
            ++at;
            continue;
        }
        std::string_view replacement;
        bool isMarkup = false;
        const std::size_t length = HiddenAt(text, at, marks, replacement, isMarkup);
        if (length == 0) {
            ++at;
            continue;
        }
        if (at > done) plain(text.substr(done, at - done));
        if (isMarkup) {
            markup(replacement);
        } else {
            plain(replacement);
        }
        at += length;
        done = at;
    }
    if (done < text.size()) plain(text.substr(done));
}

// Appends text with & < > " escaped and hidden characters shown. Called for everything of
// the thread that previews and ID keys hold.
void AppendShown(std::string_view text, Marks marks, std::string& out);

// Writes text the same way. Called for every header part and body stretch of the page.
void PutShown(PageWriter& out, std::string_view text, Marks marks);

}  // namespace horofu
