// Case-insensitive matching as LowerCase defines it, without lowering a copy of the text.
//
// A match at position i means LowerCase(t) and LowerCase(p) agree on every byte there. Folding
// only turns a single-byte A-Z into a-z, so most bytes can be compared raw; only where the
// text holds an upper-case letter and the pattern a letter do we need to know whether that
// text byte is the trail byte of a double-byte character (and so left unfolded).
#include "runtime/Split.h"

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

bool IsUpper(unsigned char b) { return b >= 'A' && b <= 'Z'; }
bool IsLower(unsigned char b) { return b >= 'a' && b <= 'z'; }

// Whether t[j] is the second byte of a double-byte character. A byte that cannot lead is
// always followed by a character start, so only the run of lead-range bytes right before j
// matters: j is a trail byte when that run has odd length.
bool IsTrailByte(std::string_view t, std::size_t j) {
    std::size_t run = 0;
    while (run < j && IsLeadByte(static_cast<unsigned char>(t[j - run - 1]))) ++run;
    return (run & 1) != 0;
}

class Matcher {
public:
    Matcher(std::string_view text, const Text& pattern)
        : text_(text), folded_(LowerCase(pattern)) {}

    std::size_t PatternSize() const { return folded_.Size(); }

    // Whether the pattern matches at the 0-based index i (i + size <= text size).
    bool MatchesAt(std::size_t i) const {
        const std::string_view p = folded_.View();
        if (p.empty()) return i == text_.size();  // only the empty tail equals an empty pattern
        for (std::size_t k = 0; k < p.size(); ++k) {
            const auto want = static_cast<unsigned char>(p[k]);
            const auto have = static_cast<unsigned char>(text_[i + k]);
            if (have == want) {
                // An upper-case byte stays upper case only as a trail byte.
                if (IsUpper(have) && !IsTrailByte(text_, i + k)) return false;
            } else if (!(IsLower(want) && have == want - ('a' - 'A') &&
                         !IsTrailByte(text_, i + k))) {
                return false;
            }
        }
        return true;
    }

    // Lowest matching index in [from, last], or npos.
    std::size_t FindForward(std::size_t from, std::size_t last) const {
        if (folded_.Empty()) return last >= text_.size() && from <= text_.size() ? text_.size() : npos;
        const auto first = static_cast<unsigned char>(folded_.Data()[0]);
        const bool plainFirst = !IsUpper(first) && !IsLower(first);
        for (std::size_t i = from; i <= last;) {
            if (plainFirst) {
                const void* hit = std::memchr(text_.data() + i, first, last - i + 1);
                if (hit == nullptr) return npos;
                i = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
            }
            if (MatchesAt(i)) return i;
            ++i;
        }
        return npos;
    }

    static constexpr std::size_t npos = std::string_view::npos;

private:
    std::string_view text_;
    Text folded_;
};

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

int32_t CountOccurrences(const Text& t, const Text& p) {
    if (t.Size() < p.Size()) return 0;
    const Matcher m(t.View(), p);
    const std::size_t last = t.Size() - p.Size();
    int32_t count = 0;
    for (std::size_t i = m.FindForward(0, last); i != Matcher::npos && i <= last;
         i = i < last ? m.FindForward(i + 1, last) : Matcher::npos) {
        ++count;
    }
    return count;
}

int SplitFirst(const Text& t, const Text& sep) {
    if (sep.Size() <= t.Size()) {
        const Matcher m(t.View(), sep);
        const std::size_t at = m.FindForward(0, t.Size() - sep.Size());
        if (at != Matcher::npos) return Succeed(firstSplit, t, at, sep.Size());
    }
    firstSplit.flag = 0;
    return 0;
}

const Text& FirstLeft() { return firstSplit.flag == 1 ? firstSplit.left : emptyText; }
const Text& FirstRight() { return firstSplit.flag == 1 ? firstSplit.right : emptyText; }

int SplitLast(const Text& t, const Text& sep) {
    // 0-based candidates run from Len(t) - Len(sep) - 1 down to 0; a match at 0 fails.
    if (!sep.Empty() && t.Size() > sep.Size()) {
        const Matcher m(t.View(), sep);
        const auto first = static_cast<unsigned char>(LowerCase(sep).Data()[0]);
        for (std::size_t i = t.Size() - sep.Size() - 1; i >= 1; --i) {
            if ((IsUpper(first) || IsLower(first) ||
                 static_cast<unsigned char>(t.Data()[i]) == first) &&
                m.MatchesAt(i)) {
                return Succeed(lastSplit, t, i, sep.Size());
            }
        }
    }
    lastSplit.flag = 0;
    return 0;
}

const Text& LastLeft() { return lastSplit.flag == 1 ? lastSplit.left : emptyText; }
const Text& LastRight() { return lastSplit.flag == 1 ? lastSplit.right : emptyText; }

}  // namespace horofu
