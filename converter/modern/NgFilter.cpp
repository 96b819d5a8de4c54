// Reading NG rules and matching posts against them.
#include "converter/modern/NgFilter.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "converter/modern/Blanks.h"
#include "runtime/EncodingGuess.h"
#include "runtime/Fnv.h"
#include "runtime/TextDecoder.h"
#include "runtime/Utf8.h"
#include "search/FoldTable.h"
#include "search/SearchFold.h"

namespace horofu {
namespace {

// A pattern is tried on a line in windows of this many characters, overlapping by kOverlap,
// so that its time follows the length of the line and not its square.
constexpr std::size_t kWindow = 1024;
constexpr std::size_t kOverlap = 256;
constexpr std::size_t kLongestPattern = 256;
// A pattern with its counted repeats written out ("a{3}" is "aaa") is at most this many
// elements: the matcher holds some 90 bytes for each ("x{1,30000}" took 2.8 MB).
constexpr std::size_t kLongestWrittenOut = 1024;
// Patterns in one NG file: each is tried on every line in turn, where words and IDs are
// looked up at once.
constexpr std::size_t kMostPatterns = 256;
// A word or name is longer in no NG file: the end of each piece of a long line is kept to be
// searched again with the next, as long as the longest word, and so is each word's path
// through the tree of words.
constexpr std::size_t kLongestWord = 1024;
// The end of a piece of a long line carried into the next: a pattern's overlap of characters,
// at up to four bytes each.
constexpr std::size_t kCarryBytes = 4 * kOverlap;
// Characters a pattern may look at per character of a window, and besides: beyond them its
// search of the window ends as not matching. A pattern that finds its match at all does so
// within a few looks per character; only backtracking that tries every way to split the text
// runs out.
constexpr std::size_t kLooksPerChar = 256;
constexpr std::size_t kLooksBesides = 4096;
// What a listed text is looked for in: a body line and a name (kWord), or a name only (kName).
constexpr uint8_t kWord = 1;
constexpr uint8_t kName = 2;

// Thrown by a Look when its search has used up what it may look at.
struct OutOfLooks {};

// A position in the text a pattern is matched against that counts each look at it (reading
// its character, or asking whether it is the end): the matcher backtracks through these, so
// the count follows its work, whatever the pattern.
class Look {
  public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = wchar_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const wchar_t*;
    using reference = const wchar_t&;

    Look() = default;
    Look(const wchar_t* at, std::size_t* left) : at_(at), left_(left) {}
    reference operator*() const {
        Count();
        return *at_;
    }
    Look& operator++() {
        ++at_;
        return *this;
    }
    Look operator++(int) {
        Look was = *this;
        ++at_;
        return was;
    }
    Look& operator--() {
        --at_;
        return *this;
    }
    Look operator--(int) {
        Look was = *this;
        --at_;
        return was;
    }
    bool operator==(const Look& other) const {
        Count();
        return at_ == other.at_;
    }
    bool operator!=(const Look& other) const { return !(*this == other); }

  private:
    void Count() const {
        if (left_ != nullptr && (*left_)-- == 0) throw OutOfLooks();
    }
    const wchar_t* at_ = nullptr;
    std::size_t* left_ = nullptr;
};

// Whether re matches text[begin, end), which lies inside text: a line's start and end are
// only at the text's (not at a window's), and then only when the text starts or ends its
// line (lineStarts, lineEnds); what stands before begin counts for "\b". A search that looks
// too long ends as not matching, and sets gaveUp.
bool SearchWindow(std::wstring_view text, std::size_t begin, std::size_t end, const std::wregex& re,
                  bool lineStarts, bool lineEnds, bool& gaveUp) {
    std::size_t left = kLooksBesides + kLooksPerChar * (end - begin);
    auto flags = std::regex_constants::match_default;
    if (begin > 0) {
        flags |= std::regex_constants::match_prev_avail;
    } else if (!lineStarts) {
        flags |= std::regex_constants::match_not_bol | std::regex_constants::match_not_bow;
    }
    // At a window's end the text goes on: neither its end nor a word's (a match there is
    // found again in the next window, which overlaps).
    if (end < text.size() || !lineEnds) {
        flags |= std::regex_constants::match_not_eol | std::regex_constants::match_not_eow;
    }
    try {
        return std::regex_search(Look(text.data() + begin, &left), Look(text.data() + end, &left),
                                 re, flags);
    } catch (const OutOfLooks&) {
        gaveUp = true;
        return false;
    }
}

// The start of the character at or before at: not the second half of a surrogate pair
// (where wchar_t is 16 bits).
std::size_t CharStart(std::wstring_view text, std::size_t at) {
    if (at > 0 && at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF) --at;
    return at;
}

// UTF-8 as wide characters, which patterns are matched against: "." and "[ぁ-ん]" are about
// characters, not bytes. A byte that starts no character stands for U+FFFD.
std::wstring Widen(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharLength(text.substr(i, 4));
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        if (length == 1) {
            c = lead;
        } else if (length > 1) {
            c = lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
        }
        i += length == 0 ? 1 : length;
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
                wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                continue;
            }
        }
        wide += static_cast<wchar_t>(c);
    }
    return wide;
}

// Text without its blanks (space, tab, U+3000).
std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i] == '\t') continue;
        if (text.substr(i, 3) == "\xE3\x80\x80") {
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

bool IsQuantifier(std::string_view p, std::size_t i) {
    return i < p.size() && (p[i] == '*' || p[i] == '+' || p[i] == '?' || p[i] == '{');
}

// Whether the quantifier at p[i] may repeat without bound ('*', '+', "{n,}").
bool IsUnbounded(std::string_view p, std::size_t i) {
    if (p[i] == '*' || p[i] == '+') return true;
    if (p[i] != '{') return false;
    const std::size_t close = p.find('}', i);
    return close != std::string_view::npos && p[close - 1] == ',';
}

// The length of the element that starts p (a character, an escape, a class or a group,
// without its quantifier); 0 when p starts none that may be looked past (a lookahead).
std::size_t ElementLength(std::string_view p) {
    if (p.empty()) return 0;
    if (p[0] == '\\') {
        if (p.size() < 2) return 0;
        if (p[1] == 'u' || p[1] == 'x') {
            const std::size_t digits = p[1] == 'u' ? 4 : 2;
            return p.size() >= 2 + digits ? 2 + digits : 0;
        }
        if (p[1] == 'c') return p.size() >= 3 ? 3 : 0;
        return 1 + std::max<std::size_t>(1, Utf8CharLength(p.substr(1, 4)));
    }
    if (p[0] == '[') {  // up to its first closing bracket not escaped ("[]" is a class)
        for (std::size_t i = 1; i < p.size(); ++i) {
            if (p[i] == '\\') {
                ++i;
            } else if (p[i] == ']') {
                return i + 1;
            }
        }
        return 0;
    }
    if (p[0] == '(') {
        if (p.starts_with("(?=") || p.starts_with("(?!")) return 0;
        int depth = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (p[i] == '\\') {
                ++i;
            } else if (p[i] == '[') {
                const std::size_t length = ElementLength(p.substr(i));
                if (length == 0) return 0;
                i += length - 1;
            } else if (p[i] == '(') {
                ++depth;
            } else if (p[i] == ')' && --depth == 0) {
                return i + 1;
            }
        }
        return 0;
    }
    if (p[0] == ')' || p[0] == '|' || p[0] == '^' || p[0] == '$' || IsQuantifier(p, 0)) return 0;
    return std::max<std::size_t>(1, Utf8CharLength(p.substr(0, 4)));
}

// Whether p has an alternative outside any group ("a|b"), which what starts it does not
// start.
bool AlternativeOutside(std::string_view p) {
    int depth = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\') {
            ++i;
        } else if (p[i] == '[') {
            const std::size_t length = ElementLength(p.substr(i));
            if (length == 0) return true;
            i += length - 1;
        } else if (p[i] == '(') {
            ++depth;
        } else if (p[i] == ')') {
            --depth;
        } else if (p[i] == '|' && depth == 0) {
            return true;
        }
    }
    return false;
}

// The pattern searched for in place of p, which finds a match in the same lines: what may
// match nothing at its start ("\S*死ね", ".*業者") is left out, and a repeat there is taken
// once ("[ぁ-ん]+死ね"). A search tries every place in a line; from each, such a start runs
// on to the line's end and back, so that a line of a few hundred characters would use up
// what the search may look at before it comes to the match.
std::string SearchedPattern(std::string_view p) {
    std::string searched(p);
    if (AlternativeOutside(p)) return searched;
    for (;;) {
        const std::size_t element = ElementLength(searched);
        if (element == 0 || element >= searched.size()) return searched;
        std::size_t end = element;  // past the quantifier
        const char q = searched[element];
        if (q == '*' || q == '?' || q == '+') {
            ++end;
        } else if (q == '{') {
            end = searched.find('}', element);
            if (end == std::string::npos) return searched;
            ++end;
        } else {
            return searched;
        }
        if (end < searched.size() && searched[end] == '?') ++end;  // lazy
        // "{0,5}" and "{0,}" may match nothing as '*' may; "{2,5}" may not.
        const bool none = q == '*' || q == '?' ||
                          (q == '{' && searched.compare(element, 3, "{0,") == 0) ||
                          searched.compare(element, 3, "{0}") == 0;
        if (none) {
            searched.erase(0, end);
        } else if (q == '+') {
            searched.erase(element, end - element);
            return searched;
        } else {
            return searched;
        }
    }
}

// How many elements p comes to with its counted repeats written out ("a{3}" 3, "(ab){2,4}"
// 8, "a{2,}" 3); '*', '+' and '?' add none. Counted past kLongestWrittenOut no further.
std::size_t WrittenOut(std::string_view p) {
    constexpr std::size_t kEnough = kLongestWrittenOut + 1;
    std::vector<std::size_t> groups{0};  // each open group's elements so far
    std::size_t last = 0;                // the element just before, written out
    const auto add = [&](std::size_t n) {
        last = n;
        groups.back() = std::min(kEnough, groups.back() + n);
    };
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            ++i;
            add(1);
        } else if (c == '[') {
            for (++i; i < p.size() && p[i] != ']'; ++i) {
                if (p[i] == '\\') ++i;
            }
            add(1);
        } else if (c == '(') {
            groups.push_back(0);
            if (p.substr(i + 1, 1) == "?") i += 2;
            last = 0;
        } else if (c == ')' && groups.size() > 1) {
            const std::size_t inner = groups.back();
            groups.pop_back();
            add(inner);
        } else if (c == '{') {
            // "{n}", "{n,}" or "{n,m}": the most times it may be taken, or one past its least.
            std::size_t least = 0, most = 0, at = i + 1;
            bool comma = false;
            for (; at < p.size() && p[at] != '}'; ++at) {
                if (p[at] == ',') {
                    comma = true;
                } else if (p[at] >= '0' && p[at] <= '9') {
                    std::size_t& n = comma ? most : least;
                    n = std::min(kEnough, n * 10 + static_cast<std::size_t>(p[at] - '0'));
                }
            }
            if (at == p.size()) {  // no repeat: a '{' of its own
                add(1);
                continue;
            }
            const std::size_t times = comma && most == 0 ? least + 1 : std::max(least, most);
            const std::size_t more = times == 0 ? 0 : std::min(kEnough, last * (times - 1));
            groups.back() = std::min(kEnough, groups.back() + more);
            last = std::min(kEnough, last * times);
            i = at;
        } else if (c == '|') {
            last = 0;
        } else if (c != '*' && c != '+' && c != '?' && c != ')' &&
                   (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            add(1);
        }
    }
    std::size_t total = 0;
    for (const std::size_t n : groups) total = std::min(kEnough, total + n);
    return total;
}

}  // namespace

const char* RefusedPattern(std::string_view p) {
    if (p.size() > kLongestPattern) return "pattern longer than 256 bytes";
    if (WrittenOut(p) > kLongestWrittenOut) {
        return "pattern longer than 1024 characters with its counted repeats written out";
    }
    struct Group {
        bool repeats = false;  // holds a quantifier or an alternative
    };
    std::vector<Group> groups(1);
    int unbounded = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            if (i + 1 < p.size() && p[i + 1] >= '1' && p[i + 1] <= '9') {
                return "back-references are not allowed";
            }
            ++i;
        } else if (c == '[') {
            // A class: up to its closing bracket, escapes and all.
            for (++i; i < p.size() && p[i] != ']'; ++i) {
                if (p[i] == '\\') ++i;
            }
        } else if (c == '(') {
            groups.emplace_back();
            // "(?:", "(?=" and "(?!" open a group as "(" does: their '?' repeats nothing.
            if (p.substr(i + 1, 1) == "?") i += 2;
        } else if (c == ')' && groups.size() > 1) {
            const bool inner = groups.back().repeats;
            groups.pop_back();
            if (IsQuantifier(p, i + 1)) {
                if (inner && IsUnbounded(p, i + 1)) {
                    return "a repeated group that repeats inside may take unbounded time";
                }
                groups.back().repeats = true;
            }
            groups.back().repeats = groups.back().repeats || inner;
        } else if (c == '|') {
            groups.back().repeats = true;
        } else if (IsQuantifier(p, i)) {
            groups.back().repeats = true;
            if (IsUnbounded(p, i) && ++unbounded > 2) {
                return "more than two unbounded repeats ('*', '+', '{n,}')";
            }
        }
    }
    return nullptr;
}

bool NgFilter::Parse(std::string_view file, std::size_t& line, std::string& reason) {
    std::string text;
    std::unique_ptr<TextDecoder> decoder =
        OpenDecoder(std::string(EncodingName(GuessEncoding(file, true))));
    decoder->Decode(file, true, text);
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    MarkFolding();
    std::string folded;  // a word or name as it is looked for
    std::string_view rest = text;
    for (line = 1; !rest.empty(); ++line) {
        // Lines end as a thread's do: CR LF, LF or a lone CR.
        const std::size_t end = rest.find_first_of("\r\n");
        std::string_view rule = rest.substr(0, end);
        std::size_t next = end == std::string_view::npos ? rest.size() : end + 1;
        if (end != std::string_view::npos && rest[end] == '\r' && next < rest.size() &&
            rest[next] == '\n') {
            ++next;
        }
        rest.remove_prefix(next);
        // Blanks before a rule or a comment are not seen: "  # trolls" is a comment.
        while (rule.starts_with(' ') || rule.starts_with('\t') ||
               rule.starts_with("\xE3\x80\x80")) {
            rule.remove_prefix(rule[0] == ' ' || rule[0] == '\t' ? 1 : 3);
        }
        if (rule.empty() || rule.starts_with('#')) continue;
        const std::size_t colon = rule.find(':');
        const std::string_view kind = rule.substr(0, colon);
        const std::string_view value =
            colon == std::string_view::npos ? std::string_view() : rule.substr(colon + 1);
        if (colon == std::string_view::npos ||
            (kind != "id" && kind != "name" && kind != "word" && kind != "re")) {
            reason = "expected id:VALUE, name:TEXT, word:TEXT or re:PATTERN";
            return false;
        }
        // Blanks alone would match nearly every post ("word: ").
        const std::string_view word = Folded(WithoutEndBlanks(value), folded);
        if (WithoutEndBlanks(value).empty() || (kind != "re" && word.empty())) {
            reason = "nothing after '" + std::string(kind) + ":'";
            return false;
        }
        if ((kind == "word" || kind == "name") && word.size() > kLongestWord) {
            reason = std::string(kind) + " longer than 1024 bytes";
            return false;
        }
        if (kind == "id") {
            std::string_view id = WithoutEndBlanks(value);
            if (id.starts_with("ID:")) id.remove_prefix(3);
            // "id:abc # troll" would match no post, silently.
            if (id.find_first_of(" \t") != std::string_view::npos || id.empty()) {
                reason = "an ID holds no blanks";
                return false;
            }
            ids_.emplace_back(id);
        } else if (kind == "name") {
            words_.Add(WithoutBlanks(word), kName);
        } else if (kind == "word") {
            words_.Add(word, kWord);
            longestWord_ = std::max(longestWord_, word.size());
        } else {
            if (const char* why = RefusedPattern(value)) {
                reason = why;
                return false;
            }
            if (res_.size() == kMostPatterns) {
                reason = "more than 256 patterns";
                return false;
            }
            try {
                // The pattern as written is checked, and the one it comes to searched for.
                std::wregex written(Widen(value), std::regex::ECMAScript);
                res_.emplace_back(Widen(SearchedPattern(value)), std::regex::ECMAScript);
            } catch (const std::regex_error& error) {
                reason = std::string("not a pattern: ") + error.what();
                return false;
            }
        }
    }
    words_.Finish();
    std::sort(ids_.begin(), ids_.end());
    rulesHash_ = Fnv(text);
    line = 0;
    return true;
}

uint64_t NgFilter::Fingerprint() const {
    const char how[] = {mode == NgMode::Mark ? 'm' : 'h', chain ? 'c' : '-'};
    return Fnv(std::string_view(how, sizeof how), rulesHash_);
}

void NgFilter::MarkFolding() {
    folding_.assign(0x10000 / 64, 0);
    const auto mark = [this](char32_t c) {
        if (c < 0x10000) folding_[c / 64] |= uint64_t{1} << (c % 64);
    };
    for (std::size_t i = 0; i < kFoldMappingCount; ++i) mark(kFoldMappings[i].from);
    for (std::size_t i = 0; i < kFoldPairCount; ++i) mark(kFoldPairs[i].second);
}

std::string_view NgFilter::Folded(std::string_view text, std::string& buffer) const {
    bool lowered = false;  // buffer holds text with its capitals lowered
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            // Capitals are most of what folds in most lines: lowered in place.
            if (lead >= 'A' && lead <= 'Z') {
                if (!lowered) buffer.assign(text);
                lowered = true;
                buffer[i] = static_cast<char>(lead - 'A' + 'a');
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8CharLength(text.substr(i, 4));
        char32_t c = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        // Beyond the table's plane, and bytes that start no character, the fold decides.
        if (length == 0 || c >= 0x10000 || (folding_[c / 64] >> (c % 64) & 1) != 0) {
            buffer = EncodeUtf8(FoldText(text));
            return buffer;
        }
        i += length;
    }
    return lowered ? std::string_view(buffer) : text;
}

bool NgFilter::Matches(std::string_view text, bool lineStarts, bool lineEnds,
                       bool* undecided) const {
    std::string buffer;
    if (!words_.Empty() && words_.Holds(Folded(text, buffer), kWord)) return true;
    if (res_.empty()) return false;
    const std::wstring wide = Widen(text);
    bool gaveUp = false;
    for (const std::wregex& re : res_) {
        for (std::size_t at = 0;;) {
            const std::size_t end =
                at + kWindow >= wide.size() ? wide.size() : CharStart(wide, at + kWindow);
            if (SearchWindow(wide, at, end, re, lineStarts, lineEnds, gaveUp)) return true;
            if (end == wide.size()) break;
            at = CharStart(wide, end - kOverlap);
        }
    }
    if (gaveUp && undecided != nullptr) *undecided = true;
    return false;
}

bool NgFilter::MatchesHeader(const PostHeader& header) const {
    if (!header.idKey.empty() &&
        std::binary_search(ids_.begin(), ids_.end(), header.idKey, std::less<>())) {
        return true;
    }
    // The name as the page shows it: its name, trip and cap, and what stands between them.
    const auto named = [](const HeaderPart& part) {
        return part.kind == HeaderPartKind::Name || part.kind == HeaderPartKind::Trip ||
               part.kind == HeaderPartKind::Cap;
    };
    const auto first = std::find_if(header.parts.begin(), header.parts.end(), named);
    const auto last = std::find_if(header.parts.rbegin(), header.parts.rend(), named);
    std::string name;
    for (auto part = first; first != header.parts.end() && part != last.base(); ++part) {
        if (named(*part) || part->kind == HeaderPartKind::Text) name.append(part->text);
    }
    if (Matches(name, true, true, nullptr)) return true;
    // Names are found whatever blanks stand between their parts ("自治厨◆abc", "自治厨 ◆abc").
    std::string buffer;
    return !words_.Empty() && words_.Holds(WithoutBlanks(Folded(name, buffer)), kName);
}

bool NgFilter::MatchesLine(std::string_view line, bool* undecided) const {
    return Matches(line, true, true, undecided);
}

bool NgFilter::MatchesPiece(std::string_view piece, bool lineEnds, std::string& carry,
                            bool* undecided) const {
    const bool lineStarts = carry.empty();
    carry.append(piece);
    const bool found = Matches(carry, lineStarts, lineEnds, undecided);
    if (lineEnds) {
        carry.clear();
        return found;
    }
    // What a word or a pattern's window may start in, from the start of a character: a
    // folded word is at most four times as long written out ("ｓｐａｍ" is "spam").
    std::size_t keep = std::min(carry.size(), 4 * longestWord_ + kCarryBytes);
    while (keep < carry.size() &&
           (static_cast<unsigned char>(carry[carry.size() - keep]) & 0xC0) == 0x80) {
        ++keep;
    }
    carry.erase(0, carry.size() - keep);
    return found;
}

}  // namespace horofu
