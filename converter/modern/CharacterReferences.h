// Character references in the HTML of .dat lines, decoded as browsers decode them in text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace horofu {

// Decodes the reference starting with the '&' at html[at], appending its text to out, and
// returns the bytes it took; 0 when no reference starts there (the '&' is then text). Named
// references are HTML's whole list; the legacy names ("&gt", "&amp") need no semicolon and
// are matched at their longest. Numeric ones (decimal, "&#x" hex; the semicolon may be left
// out) follow the browsers: 80-9F are read as Windows-1252, two references that are a
// surrogate pair make one character, and zero, a lone surrogate or a value beyond U+10FFFF
// becomes U+FFFD and is counted in invalid. Called by AppendHtmlText.
std::size_t DecodeReference(std::string_view html, std::size_t at, std::string& out,
                            uint64_t& invalid);

}  // namespace horofu
