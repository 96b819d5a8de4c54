// Scanning a line for reply marks and addresses.
#include "converter/modern/ReplyScan.h"

#include "runtime/Ascii.h"
#include "runtime/ByteScan.h"

namespace horofu {
namespace {

constexpr std::string_view kWideMark = "\xEF\xBC\x9E";    // ＞
constexpr std::string_view kWideHyphen = "\xEF\xBC\x8D";  // －
constexpr std::string_view kWideComma = "\xEF\xBC\x8C";   // ，
// What may start a link besides a full-width mark: '>', and the 't' of "ttp".
constexpr ByteSet kStarts{'>', 't'};
constexpr ByteSet kHalfWidthStarts{'>'};

std::size_t MarkAt(std::string_view s, std::size_t at) {
    if (at < s.size() && s[at] == '>') return 1;
    return BytesAt(s, at, kWideMark) ? kWideMark.size() : 0;
}

// The digits (ASCII or full-width) at at: their length in bytes and count, and their value.
std::size_t NumberAt(std::string_view s, std::size_t at, std::size_t& count, uint64_t& value) {
    std::size_t p = at;
    count = 0;
    value = 0;
    for (;;) {
        unsigned digit;
        if (p < s.size() && s[p] >= '0' && s[p] <= '9') {
            digit = static_cast<unsigned>(s[p] - '0');
            p += 1;
        } else if (p + 2 < s.size() && s.substr(p, 2) == "\xEF\xBC" &&
                   static_cast<unsigned char>(s[p + 2]) >= 0x90 &&
                   static_cast<unsigned char>(s[p + 2]) <= 0x99) {
            digit = static_cast<unsigned char>(s[p + 2]) - 0x90u;
            p += 3;
        } else {
            return p - at;
        }
        if (count < 12) value = value * 10 + digit;
        ++count;
    }
}

bool IsUrlByte(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

// The reply marks at at and the numbers after them; the end of what was taken.
std::size_t TakeReply(std::string_view s, std::size_t at, LinkVisitor& visitor) {
    const std::size_t first = MarkAt(s, at);
    const std::size_t second = MarkAt(s, at + first);
    if (second == 0) return at + first;
    std::size_t count;
    uint64_t value;
    std::size_t p = at + first + second;
    while (const std::size_t more = MarkAt(s, p)) p += more;  // ">>>1" as readers link it
    std::size_t length = NumberAt(s, p, count, value);
    if (count == 0) return p;
    if (count > 9) return p + length;  // absurd: stays text
    auto previous = static_cast<uint32_t>(value);
    visitor.Link({LinkKind::Reply, at, p + length, previous});
    p += length;
    for (;;) {
        const bool range = BytesAt(s, p, "-") || BytesAt(s, p, kWideHyphen);
        const bool list = BytesAt(s, p, ",") || BytesAt(s, p, kWideComma);
        if (!range && !list) return p;
        const std::size_t sep = s[p] == '-' || s[p] == ',' ? 1 : 3;
        uint64_t next;
        length = NumberAt(s, p + sep, count, next);
        if (count == 0 || count > 9) return p;
        visitor.Link({LinkKind::Reply, p + sep, p + sep + length, static_cast<uint32_t>(next)});
        if (range && next > previous + 1) visitor.Range({previous, static_cast<uint32_t>(next)});
        previous = static_cast<uint32_t>(next);
        p += sep + length;
    }
}

constexpr std::string_view kWideH = "\xEF\xBD\x88";  // ｈ

// Whether the "ttp" at at follows what a writer puts to break an address on purpose ("h
// ttp://", "h　ttp://" with U+3000, "h  ttp://", "xttp", "*ttp", "ｈttp") or a word it is
// part of.
bool BrokenOnPurpose(std::string_view s, std::size_t at) {
    if (at == 0 || s[at - 1] == 'h') return false;
    const char c = s[at - 1];
    if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '*' || c == '_' || c == '-') return true;
    // An 'h' before blanks, however many.
    std::size_t b = at;
    for (;;) {
        if (b >= 1 && (s[b - 1] == ' ' || s[b - 1] == '\t')) {
            --b;
        } else if (b >= 3 && s.substr(b - 3, 3) == "\xE3\x80\x80") {
            b -= 3;
        } else {
            break;
        }
    }
    if (b < at && b >= 1 && AsciiLower(s[b - 1]) == 'h') return true;
    return b >= 3 && s.substr(b - 3, 3) == kWideH;
}

// The address whose "ttp" is at at, if one is; the end of what was taken.
std::size_t TakeUrl(std::string_view s, std::size_t at, LinkVisitor& visitor) {
    if (BrokenOnPurpose(s, at)) return at + 3;
    std::size_t p = at + 3;
    if (BytesAt(s, p, "s")) ++p;
    if (!BytesAt(s, p, "://")) return at + 1;
    p += 3;
    const std::size_t hostBegin = p;
    while (p < s.size() && IsUrlByte(s[p])) ++p;
    // Punctuation closing a sentence is not part of the address; nor is a bracket it closes
    // (one more ')' than '(' in the address). The brackets are counted once, then as the end
    // moves back.
    std::size_t opens = 0, closes = 0;
    for (std::size_t i = hostBegin; i < p; ++i) {
        opens += s[i] == '(';
        closes += s[i] == ')';
    }
    for (;;) {
        if (p == hostBegin) return p;
        const char c = s[p - 1];
        if (std::string_view(".,:;!?'").find(c) != std::string_view::npos) {
            --p;
        } else if (c == ')' && closes > opens) {
            --closes;
            --p;
        } else {
            break;
        }
    }
    const std::size_t begin = at > 0 && s[at - 1] == 'h' ? at - 1 : at;
    visitor.Link({LinkKind::Url, begin, p, 0});
    return p;
}

}  // namespace

void ScanLine(std::string_view line, LinkVisitor& visitor, bool urls) {
    const char* const data = line.data();
    const char* const end = data + line.size();
    // Full-width marks are found by their last two bytes: the first, EF, starts every
    // full-width character of Japanese text.
    std::size_t wide = 0;  // where the next "＞" starts, or past it
    bool wideKnown = false;
    std::size_t p = 0;
    while (p < line.size()) {
        if (!wideKnown || wide < p) {
            // The mark's last two bytes lie at p + 1 or later when it starts at p or later.
            const char* pair = FindPair(data + p + 1, end, 0xBC, 0x9E);
            while (pair != end && static_cast<unsigned char>(pair[-1]) != 0xEF) {
                pair = FindPair(pair + 1, end, 0xBC, 0x9E);
            }
            wide = pair == end ? line.size() : static_cast<std::size_t>(pair - data) - 1;
            wideKnown = true;
        }
        const ByteSet& set = urls ? kStarts : kHalfWidthStarts;
        std::size_t q = static_cast<std::size_t>(FindFirstOf(data + p, data + wide, set) - data);
        if (q >= line.size()) break;
        if (MarkAt(line, q) > 0) {
            p = TakeReply(line, q, visitor);
        } else if (line[q] == 't' && BytesAt(line, q, "ttp")) {
            p = TakeUrl(line, q, visitor);
        } else {
            p = q + 1;
        }
    }
}

void ScanLine(std::string_view line, std::vector<LineLink>& links, std::vector<ReplyRange>* ranges,
              bool urls) {
    struct Gather final : LinkVisitor {
        std::vector<LineLink>& links;
        std::vector<ReplyRange>* ranges;
        Gather(std::vector<LineLink>& l, std::vector<ReplyRange>* r) : links(l), ranges(r) {}
        void Link(const LineLink& link) override { links.push_back(link); }
        void Range(const ReplyRange& range) override {
            if (ranges != nullptr) ranges->push_back(range);
        }
    };
    links.clear();
    if (ranges != nullptr) ranges->clear();
    Gather gather(links, ranges);
    ScanLine(line, gather, urls);
}

}  // namespace horofu
