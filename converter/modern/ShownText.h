// Thread text as the modern page shows it: control characters never reach the page raw (a
// page that `cat` prints must not replay a terminal's escape sequences), and in IDs and
// addresses the invisible marks that reorder or join text are shown, so that nothing can pass
// for what it is not.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "converter/PageWriter.h"

namespace horofu {

// Which invisible characters are shown. Controls (C0 but TAB and line ends, DEL, C1) always
// are; marks (the characters that show nothing: bidi controls, zero-width characters,
// variation selectors, tags, the byte-order mark, soft hyphen) only in IDs and addresses, as
// ordinary text may use them for its own script.
enum class Marks : bool { Kept, Shown };

// Room for the markup of a shown mark.
using MarkText = std::array<char, 48>;

// The length of the character at text[at] when it is one to replace, else 0; replacement is
// then either a visible character (plain text) or the markup of a shown mark (in scratch).
std::size_t HiddenAt(std::string_view text, std::size_t at, Marks marks, MarkText& scratch,
                     std::string_view& replacement, bool& markup);

// Appends text with & < > " escaped and hidden characters shown. Called for everything of
// the thread that previews and ID keys hold.
void AppendShown(std::string_view text, Marks marks, std::string& out);

// Writes text the same way. Called for every header part and body stretch of the page.
void PutShown(PageWriter& out, std::string_view text, Marks marks);

}  // namespace horofu
