// Case-insensitive matching as LowerCase defines it, without lowering a copy of the text.
//
// A match at position i means LowerCase(t) and LowerCase(p) agree on every byte there. Folding
// only turns a single-byte A-Z into a-z, so most bytes can be compared raw; only where the
// text holds an upper-case letter and the pattern a letter do we need to know whether that
// text byte is the trail byte of a double-byte character (and so left unfolded).
#include "runtime/Split.h"

#include "runtime/ByteScan.h"
#include "runtime/ShiftJis.h"

#include <cstring>
#include <string_view>

namespace horofu {
namespace {

struct SplitState {
    int flag = 0;
    Text left;
    Text right;
};

SplitState firstSplit;
SplitState lastSplit;
const Text emptyText;

constexpr std::size_t npos = std::string_view::npos;

bool IsUpper(unsigned char b) {
    return b >= 'A' && b <= 'Z';
}
bool IsLower(unsigned char b) {
    return b >= 'a' && b <= 'z';
}

// Whether sep matches text at the 0-based index i (i + size <= text size).
bool MatchesAt(std::string_view text, std::size_t i, const Separator& sep) {
    const std::string_view p = sep.Folded().View();
    if (p.empty()) return i == text.size();  // only the empty tail equals an empty pattern
    for (std::size_t k = 0; k < p.size(); ++k) {
        const auto want = static_cast<unsigned char>(p[k]);
        const auto have = static_cast<unsigned char>(text[i + k]);
        if (have == want) {
            // An upper-case byte stays upper case only as a trail byte.
            if (IsUpper(have) && !IsTrailByteAt(text, i + k)) return false;
        } else if (!(IsLower(want) && have == want - ('a' - 'A') && !IsTrailByteAt(text, i + k))) {
            return false;
        }
    }
    return true;
}

// The lowest index in [from, last] where sep matches, or npos.
std::size_t FindForward(std::string_view text, std::size_t from, std::size_t last,
                        const Separator& sep) {
    if (sep.Size() == 0) return from <= text.size() && last >= text.size() ? text.size() : npos;
    if (from > last) return npos;
    const std::string_view folded = sep.Folded().View();
    if (folded.size() >= 2 && !IsLower(static_cast<unsigned char>(folded[0])) &&
        !IsLower(static_cast<unsigned char>(folded[1]))) {
        // A match starts with these two bytes as they are: look for the pair first.
        const char* const end = text.data() + last + folded.size();
        for (const char* p = text.data() + from;; ++p) {
            p = FindPair(p, end, static_cast<unsigned char>(folded[0]),
                         static_cast<unsigned char>(folded[1]));
            if (p == end) return npos;
            const auto i = static_cast<std::size_t>(p - text.data());
            if (i > last) return npos;
            if (MatchesAt(text, i, sep)) return i;
        }
    }
    const auto first = static_cast<unsigned char>(sep.Folded().Data()[0]);
    for (std::size_t i = from; i <= last; ++i) {
        if (!IsLower(first)) {
            const void* hit = std::memchr(text.data() + i, first, last - i + 1);
            if (hit == nullptr) return npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        }
        if (MatchesAt(text, i, sep)) return i;
    }
    return npos;
}

// Stores the parts around a match. The text may be one of the state's own parts (splitting
// FirstLeft() again), so the right part is taken before the left one is cut in place.
int Succeed(SplitState& state, const Text& t, std::size_t at, std::size_t size) {
    const std::size_t after = at + size;
    state.right.Bytes().assign(t.Data() + after, t.Size() - after);
    state.left.Bytes().assign(t.Bytes(), 0, at);
    state.flag = 1;
    return 1;
}

}  // namespace

Separator::Separator(const Text& sep) : folded_(LowerCase(sep)) {}

int32_t CountOccurrences(const Text& t, const Text& p) {
    if (t.Size() < p.Size()) return 0;
    const Separator sep(p);
    const std::size_t last = t.Size() - p.Size();
    int32_t count = 0;
    for (std::size_t i = FindForward(t.View(), 0, last, sep); i != npos;
         i = i < last ? FindForward(t.View(), i + 1, last, sep) : npos) {
        ++count;
    }
    return count;
}

int SplitFirst(const Text& t, const Text& sep) {
    return SplitFirst(t, Separator(sep));
}

int SplitFirst(const Text& t, const Separator& sep) {
    if (sep.Size() <= t.Size()) {
        const std::size_t at = FindForward(t.View(), 0, t.Size() - sep.Size(), sep);
        if (at != npos) return Succeed(firstSplit, t, at, sep.Size());
    }
    firstSplit.flag = 0;
    return 0;
}

const Text& FirstLeft() {
    return firstSplit.flag == 1 ? firstSplit.left : emptyText;
}
const Text& FirstRight() {
    return firstSplit.flag == 1 ? firstSplit.right : emptyText;
}

int SplitLast(const Text& t, const Text& sep) {
    return SplitLast(t, Separator(sep));
}

int SplitLast(const Text& t, const Separator& sep) {
    // The backward scan considers the 0-based indexes Len(t) - Len(sep) - 1 down to 0, and
    // a match at 0 fails: so the rightmost match in [1, Len(t) - Len(sep) - 1] is wanted.
    if (sep.Size() > 0 && t.Size() > sep.Size() + 1) {
        const std::size_t last = t.Size() - sep.Size() - 1;
        // Matches are rare: walk them forward and keep the last.
        std::size_t found = npos;
        for (std::size_t i = FindForward(t.View(), 1, last, sep); i != npos;
             i = i < last ? FindForward(t.View(), i + 1, last, sep) : npos) {
            found = i;
        }
        if (found != npos) return Succeed(lastSplit, t, found, sep.Size());
    }
    lastSplit.flag = 0;
    return 0;
}

const Text& LastLeft() {
    return lastSplit.flag == 1 ? lastSplit.left : emptyText;
}
const Text& LastRight() {
    return lastSplit.flag == 1 ? lastSplit.right : emptyText;
}

}  // namespace horofu
