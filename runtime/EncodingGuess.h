// Finding a thread's encoding from its bytes, by the weight of evidence: a download cut
// inside a character, or one stray byte, does not turn a UTF-8 thread into Shift-JIS.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/EncodingNames.h"

namespace horofu {

// What a sample says of one candidate encoding: its characters of more than one byte, and
// the bytes that are none. For CP932, a run of n half-width katakana counts as (n - 1) / 2
// such characters: EUC-JP reads the same bytes as n / 2 kanji and breaks on an odd one, so a
// lone pair (most likely one kanji) decides nothing. For EUC-JP, a pair that is no character
// is broken. For UTF-8, longer: its characters of three or four bytes, the form of every kana
// and kanji, which other Japanese text seldom takes.
struct EncodingEvidence {
    std::size_t wide = 0;
    std::size_t bad = 0;
    std::size_t longer = 0;
};

// The evidence of a sample for each candidate; complete: the sample is the whole text (a
// character cut at its end is then broken, but for UTF-8, where it is a download cut short and
// weighs neither way). Called by GuessEncoding.
EncodingEvidence Utf8Evidence(std::string_view bytes, bool complete);
EncodingEvidence Cp932Evidence(std::string_view bytes, bool complete);
EncodingEvidence EucJpEvidence(std::string_view bytes, bool complete);

// The encoding of a thread that starts with start (complete: start is the whole thread):
// a byte-order mark decides (UTF-8, UTF-16 either way); else UTF-8 when at most one in
// twenty of its non-ASCII sequences is broken, or when its characters of three or four bytes
// are at least twice its broken bytes (a few Japanese words and a stray byte), since other
// Japanese text is almost never well-formed UTF-8; else whichever of CP932 and EUC-JP reads more
// characters of two bytes for its broken bytes (each broken byte weighs as four characters), CP932
// on a tie. Plain ASCII is UTF-8. Called by ThreadLines when no encoding is named.
Encoding GuessEncoding(std::string_view start, bool complete);

}  // namespace horofu
