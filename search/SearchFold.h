// Folding text for search: the differences a reader ignores (full-width and half-width
// letters, digits and katakana, compatibility forms, case) are taken out, so that a query
// and a post match when a reader would say they say the same.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace horofu {

// A line folded: its characters, and for each the range of code points of the original
// line it came from (so a match in the folded text marks the original text).
struct FoldedLine {
    std::u32string text;
    std::vector<uint32_t> from;  // text[i] came from original code points [from[i], to[i])
    std::vector<uint32_t> to;
};

// The code points of UTF-8 text; a byte that does not decode becomes U+FFFD, as the
// page's script decodes it.
std::u32string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

// Folds a line: each character through the table, then adjacent pairs composed. Called for
// every line indexed, every query, and every candidate checked.
FoldedLine FoldLine(std::u32string_view line);
std::u32string FoldText(std::string_view utf8);

// The table as the page's script reads it: a JavaScript array literal of numbers, each
// mapping as [from, count, characters...], then -1, then each pair as [first, second,
// composed]. Written into the site by the index so that page and command fold alike.
std::string FoldTableScript();

}  // namespace horofu
