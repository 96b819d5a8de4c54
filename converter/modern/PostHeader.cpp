// Recognising post headers in the forms saved threads have had over the years.
#include "converter/modern/PostHeader.h"

#include "runtime/Ascii.h"
#include "runtime/ByteScan.h"

namespace horofu {
namespace {

constexpr std::string_view kNameLabel = "\xE5\x90\x8D\xE5\x89\x8D";                // 名前
constexpr std::string_view kDateLabel = "\xE6\x8A\x95\xE7\xA8\xBF\xE6\x97\xA5";    // 投稿日
constexpr std::string_view kWideColon = "\xEF\xBC\x9A";                            // ：
constexpr std::string_view kWideSpace = "\xE3\x80\x80";                            // U+3000
constexpr std::string_view kTripMark = "\xE2\x97\x86";                             // ◆
constexpr std::string_view kWideOpen = "\xEF\xBC\x88";                             // （
constexpr std::string_view kWideClose = "\xEF\xBC\x89";                            // ）
constexpr std::string_view kSourceLabel = "\xE7\x99\xBA\xE4\xBF\xA1\xE5\x85\x83";  // 発信元
constexpr std::string_view kCapMark = "\xE2\x98\x85";                              // ★
constexpr std::string_view kDeletedWord =
    "\xE3\x81\x82\xE3\x81\xBC\xE3\x83\xBC\xE3\x82\x93";  // あぼーん
// Words of the board's own posts.
constexpr std::string_view kBoardWords[] = {
    "\xEF\xBC\x91\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x91",  // １００１
    "\xE5\x81\x9C\xE6\xAD\xA2",                          // 停止
    "\xE9\x81\x8E\xE5\x8E\xBB\xE3\x83\xAD\xE3\x82\xB0",  // 過去ログ
};
// The board's words in a header line with neither labels nor date: whole phrases of its
// fields, as a post's own lines ("2 山手線 運転停止") may hold the words above.
constexpr std::string_view kBoardLineWords[] = {
    "\xE5\x81\x9C\xE6\xAD\xA2\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F",  // 停止しました
    "[\xE9\x81\x8E\xE5\x8E\xBB\xE3\x83\xAD\xE3\x82\xB0]",                        // [過去ログ]
    "\xE9\x81\x8E\xE5\x8E\xBB\xE3\x83\xAD\xE3\x82\xB0 \xE2\x98\x85",             // 過去ログ ★
};

bool IsDigit(char c) {
    return IsAsciiDigit(c);
}
bool IsLetter(char c) {
    return IsAsciiLetter(c);
}

// Whether text holds the board's notice of a full thread, "Over 1000 Thread", with the limit
// of its board (some allow 2000 posts or more).
bool HasOverThread(std::string_view text) {
    constexpr std::string_view kOver = "Over ";
    constexpr std::string_view kThread = " Thread";
    for (std::size_t at = text.find(kOver); at != std::string_view::npos;
         at = text.find(kOver, at + 1)) {
        std::size_t end = at + kOver.size();
        while (end < text.size() && IsAsciiDigit(text[end])) ++end;
        const std::size_t digits = end - at - kOver.size();
        if (digits >= 3 && digits <= 5 && BytesAt(text, end, kThread)) return true;
    }
    return false;
}

bool HasBoardWords(std::string_view text) {
    if (HasOverThread(text)) return true;
    for (std::string_view word : kBoardWords) {
        if (text.find(word) != std::string_view::npos) return true;
    }
    return false;
}
bool HasBoardLineWords(std::string_view text) {
    if (HasOverThread(text)) return true;
    for (std::string_view word : kBoardLineWords) {
        if (text.find(word) != std::string_view::npos) return true;
    }
    return false;
}

// The length of a time of the board's jokes and failures at at: three pairs of digits,
// letters or '?' with colons between ("NY:AN:NY", "??:??:??"), and a fraction; 0 for none.
std::size_t OddTimeLength(std::string_view s, std::size_t at) {
    const auto isTimeChar = [](char c) { return IsDigit(c) || IsLetter(c) || c == '?'; };
    std::size_t p = at;
    for (int group = 0; group < 3; ++group) {
        if (group > 0) {
            if (p >= s.size() || s[p] != ':') return 0;
            ++p;
        }
        if (p + 2 > s.size() || !isTimeChar(s[p]) || !isTimeChar(s[p + 1])) return 0;
        p += 2;
    }
    if (p < s.size() && s[p] == '.') {
        std::size_t n = 0;
        while (p + 1 + n < s.size() && isTimeChar(s[p + 1 + n]) && n < 4) ++n;
        if (n >= 1 && n <= 3) p += 1 + n;
    }
    if (p < s.size() && isTimeChar(s[p])) return 0;
    return p - at;
}

// The length of the blank (space, tab, ideographic space) at at, or 0.
std::size_t BlankAt(std::string_view s, std::size_t at) {
    if (at >= s.size()) return 0;
    if (s[at] == ' ' || s[at] == '\t') return 1;
    return s[at] == kWideSpace[0] && BytesAt(s, at, kWideSpace) ? kWideSpace.size() : 0;
}
std::size_t SkipBlanks(std::string_view s, std::size_t at) {
    while (std::size_t n = BlankAt(s, at)) at += n;
    return at;
}
// The start of the blanks that end s[0, at).
std::size_t BlanksBefore(std::string_view s, std::size_t at) {
    for (;;) {
        if (at >= 1 && (s[at - 1] == ' ' || s[at - 1] == '\t')) {
            --at;
        } else if (at >= 3 && s.substr(at - 3, 3) == kWideSpace) {
            at -= 3;
        } else {
            return at;
        }
    }
}
std::size_t ColonAt(std::string_view s, std::size_t at) {
    if (at < s.size() && s[at] == ':') return 1;
    return BytesAt(s, at, kWideColon) ? kWideColon.size() : 0;
}
// The start of a colon that ends s[0, at), or at.
std::size_t ColonBefore(std::string_view s, std::size_t at) {
    if (at >= 1 && s[at - 1] == ':') return at - 1;
    if (at >= 3 && s.substr(at - 3, 3) == kWideColon) return at - 3;
    return at;
}

std::size_t DigitsAt(std::string_view s, std::size_t at) {
    std::size_t n = 0;
    while (at + n < s.size() && IsDigit(s[at + n])) ++n;
    return n;
}
unsigned ValueOf(std::string_view digits) {
    unsigned v = 0;
    for (char c : digits) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
}

// The post number starting a line, in ASCII or full-width digits ("１２", EF BC 91 EF BC 92,
// as some copies write it): its length in bytes, its count of digits (at most 10 looked at)
// and its value.
std::size_t LeadingNumber(std::string_view s, std::size_t& count, uint64_t& value) {
    std::size_t p = 0;
    count = 0;
    value = 0;
    while (count <= 9) {
        if (p < s.size() && IsDigit(s[p])) {
            value = value * 10 + static_cast<unsigned>(s[p] - '0');
            p += 1;
        } else if (p + 2 < s.size() && s[p] == '\xEF' && s[p + 1] == '\xBC' &&
                   static_cast<unsigned char>(s[p + 2]) >= 0x90 &&
                   static_cast<unsigned char>(s[p + 2]) <= 0x99) {
            value = value * 10 + (static_cast<unsigned char>(s[p + 2]) - 0x90u);
            p += 3;
        } else {
            break;
        }
        ++count;
    }
    return p;
}

// Whether what follows a date may end a header: nothing, or blanks and then a tail such as
// "ID:", "BE:", "HOST:", "発信元", or a bracket.
bool TailFits(std::string_view line, std::size_t at) {
    if (at == line.size()) return true;
    const std::size_t p = SkipBlanks(line, at);
    if (p == at) return false;
    if (p == line.size()) return true;
    const char c = line[p];
    if (c == '[' || c == '(' || BytesAt(line, p, kWideOpen) || BytesAt(line, p, kSourceLabel))
        return true;
    std::size_t n = 0;
    while (p + n < line.size() && IsLetter(line[p + n]) && n <= 8) ++n;
    return n >= 1 && n <= 8 && ColonAt(line, p + n) > 0;
}

// "???" stands for an ID the board did not show ("ID:???", "ID:???0" with a device's mark);
// it is no one's, so it is never counted.
bool IsIdPlaceholder(std::string_view key) {
    return key.starts_with("???") || key.find_first_not_of('?') == std::string_view::npos;
}

// An ID without the count a viewer wrote after it ("AbCd0(2/5)" is "AbCd0"): the count
// differs from post to post, the ID does not.
std::string_view WithoutCount(std::string_view id) {
    if (!id.ends_with(')')) return id;
    const std::size_t open = id.rfind('(');
    if (open == std::string_view::npos) return id;
    const std::size_t left = DigitsAt(id, open + 1);
    const std::size_t slash = open + 1 + left;
    const std::size_t right = slash < id.size() && id[slash] == '/' ? DigitsAt(id, slash + 1) : 0;
    if (left == 0 || right == 0 || slash + 1 + right + 1 != id.size()) return id;
    return id.substr(0, open);
}

// The header forms with a date or a date label; number is line's leading number, digits long.
// dated tells whether the date is one (not "あぼーん" or "Over 1000 Thread").
bool ParseHeaderForms(std::string_view line, std::size_t digits, uint32_t number,
                      PostHeader& header, bool& dated);

class PartAdder {
  public:
    PartAdder(std::string_view s, PostHeader& header) : s_(s), header_(header) {}
    // Adds text from where the last part ended up to begin, then the part itself.
    void Add(HeaderPartKind kind, std::size_t begin, std::size_t end) {
        if (begin > done_)
            header_.parts.push_back({HeaderPartKind::Text, s_.substr(done_, begin - done_)});
        header_.parts.push_back({kind, s_.substr(begin, end - begin)});
        done_ = end;
    }
    void Finish() {
        if (done_ < s_.size()) header_.parts.push_back({HeaderPartKind::Text, s_.substr(done_)});
    }

  private:
    std::string_view s_;
    PostHeader& header_;
    std::size_t done_ = 0;
};

}  // namespace

namespace {

constexpr std::string_view kEras[] = {
    "\xE6\x98\x8E\xE6\xB2\xBB",  // 明治
    "\xE5\xA4\xA7\xE6\xAD\xA3",  // 大正
    "\xE6\x98\xAD\xE5\x92\x8C",  // 昭和
    "\xE5\xB9\xB3\xE6\x88\x90",  // 平成
    "\xE4\xBB\xA4\xE5\x92\x8C",  // 令和
};
constexpr std::string_view kFirstYear = "\xE5\x85\x83";  // 元
constexpr std::string_view kYear = "\xE5\xB9\xB4";       // 年
constexpr std::string_view kMonth = "\xE6\x9C\x88";      // 月
constexpr std::string_view kDay = "\xE6\x97\xA5";        // 日

// Whether an era's name may start s at at, by its first two bytes (E4 BB 令, E5 A4 大, E5 B9
// 平, E6 98 明 昭): a header's line is looked at byte by byte for a date, and this turns
// almost every byte away.
inline bool EraLeadAt(std::string_view s, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(s[at]);
    if (b0 < 0xE4 || b0 > 0xE6 || at + 1 >= s.size()) return false;
    const auto b1 = static_cast<unsigned char>(s[at + 1]);
    return (b0 == 0xE4 && b1 == 0xBB) || (b0 == 0xE5 && (b1 == 0xA4 || b1 == 0xB9)) ||
           (b0 == 0xE6 && b1 == 0x98);
}

// Whether an era's name starts s at at.
bool EraAt(std::string_view s, std::size_t at) {
    for (std::string_view era : kEras) {
        if (BytesAt(s, at, era)) return true;
    }
    return false;
}

// The length of a day of the month at p, ending in after ("/", "日"), and its value.
std::size_t MonthOrDay(std::string_view s, std::size_t p, std::string_view after, unsigned& value) {
    const std::size_t n = DigitsAt(s, p);
    if (n < 1 || n > 2 || !BytesAt(s, p + n, after)) return 0;
    value = ValueOf(s.substr(p, n));
    return n + after.size();
}

// The length of the date without its time at s's start: "2024/09/10", "05/01/28", or in an
// era's years, "平成25年04月01日", "令和元年5月1日"; 0 for none.
std::size_t DayLength(std::string_view s) {
    std::size_t p = 0;
    std::string_view monthEnd = "/", dayEnd = "";
    if (EraAt(s, 0)) {
        p = kEras[0].size();
        const bool first = BytesAt(s, p, kFirstYear);
        const std::size_t year = first ? kFirstYear.size() : DigitsAt(s, p);
        if ((!first && (year < 1 || year > 2)) || !BytesAt(s, p + year, kYear)) return 0;
        p += year + kYear.size();
        monthEnd = kMonth;
        dayEnd = kDay;
    } else {
        const std::size_t year = DigitsAt(s, 0);
        if ((year != 2 && year != 4) || !BytesAt(s, year, "/")) return 0;
        p = year + 1;
    }
    unsigned m = 0, d = 0;
    const std::size_t month = MonthOrDay(s, p, monthEnd, m);
    if (month == 0) return 0;
    p += month;
    const std::size_t day = MonthOrDay(s, p, dayEnd, d);
    if (day == 0) return 0;
    p += day;
    if (m < 1 || m > 12 || d < 1 || d > 31) return 0;
    return p;
}

}  // namespace

std::size_t DateLength(std::string_view s, bool timeOptional) {
    std::size_t p = DayLength(s);
    if (p == 0) return 0;
    // A weekday in brackets: a few characters.
    bool weekday = false;
    if (BytesAt(s, p, "(") || BytesAt(s, p, kWideOpen)) {
        const std::size_t open = BytesAt(s, p, "(") ? 1 : kWideOpen.size();
        const std::size_t inner = p + open;
        for (std::size_t q = inner; q < s.size() && q <= inner + 12; ++q) {
            const std::size_t close = s[q] == ')'                 ? 1
                                      : BytesAt(s, q, kWideClose) ? kWideClose.size()
                                                                  : 0;
            if (close > 0 && q > inner) {
                p = q + close;
                weekday = true;
                break;
            }
        }
    }
    const std::size_t dateEnd = p;
    const std::size_t t = SkipBlanks(s, p);
    if (t == p && !weekday) return timeOptional ? dateEnd : 0;
    const std::size_t hour = DigitsAt(s, t);
    if (hour < 1 || hour > 2 || !BytesAt(s, t + hour, ":") || DigitsAt(s, t + hour + 1) != 2) {
        if (const std::size_t odd = t > p ? OddTimeLength(s, t) : 0) return t + odd;
        return timeOptional ? dateEnd : 0;
    }
    p = t + hour + 3;
    if (BytesAt(s, p, ":") && DigitsAt(s, p + 1) == 2) {
        p += 3;
        if (BytesAt(s, p, ".")) {
            const std::size_t fraction = DigitsAt(s, p + 1);
            if (fraction >= 1 && fraction <= 3) p += 1 + fraction;
        }
    }
    return p;
}

std::size_t DateTailStart(std::string_view field, std::size_t at) {
    for (std::size_t p = at; p < field.size();) {
        const std::size_t blank = BlankAt(field, p);
        if (blank == 0) {
            ++p;
            continue;
        }
        const std::size_t q = SkipBlanks(field, p);
        const std::string_view rest = field.substr(q);
        if (rest.starts_with("ID:") || rest.starts_with("BE:") || rest.starts_with("HOST:") ||
            rest.starts_with(kSourceLabel)) {
            return p;
        }
        p = q;
    }
    return field.size();
}

void PostHeader::Classify(bool dated) {
    if (dated && kind == PostKind::Poster) return;  // most posts: nothing to look at
    const std::string_view name = Part(HeaderPartKind::Name);
    const std::string_view date = Part(HeaderPartKind::Date);
    // A deleted post says the same word in its name and date ("あぼーん"), and no date.
    if (kind == PostKind::Poster && !dated && !date.empty() && name == date) {
        kind = PostKind::Deleted;
    } else if (kind == PostKind::Poster && !dated &&
               (number > 1000 || HasBoardWords(name) || HasBoardWords(date))) {
        kind = PostKind::Board;
    }
    if (kind != PostKind::Poster) idKey = {};
}

void AddNameParts(std::string_view name, PostHeader& header, bool mailInName) {
    // The mail: "[…]" closing the name.
    std::size_t nameEnd = name.size();
    std::size_t mailOpen = std::string_view::npos;
    const std::size_t trimmed = BlanksBefore(name, name.size());
    if (mailInName && trimmed > 0 && name[trimmed - 1] == ']') {
        const std::size_t open = name.rfind('[', trimmed - 1);
        if (open != std::string_view::npos) {
            mailOpen = open;
            nameEnd = open;
        }
    }
    // The trip code: "◆" and what follows it up to a blank.
    std::size_t tripBegin = name.substr(0, nameEnd).find(kTripMark);
    std::size_t tripEnd = tripBegin;
    if (tripBegin != std::string_view::npos) {
        tripEnd = tripBegin + kTripMark.size();
        while (tripEnd < nameEnd && BlankAt(name, tripEnd) == 0) ++tripEnd;
        nameEnd = tripBegin;
    }
    // A cap: "★" and the word it closes ("ちゅら猫ρ ★", "名無し＠管理人★").
    std::size_t capBegin = std::string_view::npos, capEnd = 0;
    const std::size_t star = name.substr(0, nameEnd).rfind(kCapMark);
    if (star != std::string_view::npos) {
        capEnd = star + kCapMark.size();
        capBegin = BlanksBefore(name, star);
        while (capBegin > 0 && BlankAt(name, capBegin - 1) == 0 &&
               !(capBegin >= 3 && BlankAt(name, capBegin - 3) == 3)) {
            --capBegin;
        }
        nameEnd = capBegin;
    }
    PartAdder add(name, header);
    add.Add(HeaderPartKind::Name, 0, BlanksBefore(name, nameEnd));
    if (capBegin != std::string_view::npos) add.Add(HeaderPartKind::Cap, capBegin, capEnd);
    if (tripBegin != std::string_view::npos) add.Add(HeaderPartKind::Trip, tripBegin, tripEnd);
    if (mailOpen != std::string_view::npos) {
        add.Add(HeaderPartKind::Mail, mailOpen + 1, trimmed - 1);
    }
    add.Finish();
}

void AddTailParts(std::string_view tail, PostHeader& header) {
    // A part costs the page far more than the two bytes a tail may take, in every copy of the
    // header it keeps: past a few dozen tails, the rest is text.
    constexpr std::size_t kMostTails = 32;
    PartAdder add(tail, header);
    std::size_t p = 0;
    std::size_t tails = 0;
    while ((p = SkipBlanks(tail, p)) < tail.size() && tails++ < kMostTails) {
        std::size_t end = p;
        while (end < tail.size() && BlankAt(tail, end) == 0) ++end;
        std::string_view token = tail.substr(p, end - p);
        HeaderPartKind kind = HeaderPartKind::Extra;
        if (token == "ID:") {
            // "ID: AbCd0", as some viewers space it: the ID is the word after the blank.
            const std::size_t value = SkipBlanks(tail, end);
            std::size_t valueEnd = value;
            while (valueEnd < tail.size() && BlankAt(tail, valueEnd) == 0) ++valueEnd;
            const std::string_view next = tail.substr(value, valueEnd - value);
            if (!next.empty() && !next.starts_with("ID:") && !next.starts_with("BE:")) {
                end = valueEnd;
                token = tail.substr(p, end - p);
            }
        }
        if (token.starts_with("ID:")) {
            kind = HeaderPartKind::Id;
            const std::string_view key = WithoutCount(token.substr(SkipBlanks(token, 3)));
            if (!key.empty() && !IsIdPlaceholder(key)) header.idKey = key;
        } else if (token.starts_with("BE:")) {
            kind = HeaderPartKind::Be;
        }
        add.Add(kind, p, end);
        p = end;
    }
    add.Finish();
}

namespace {

// A deleted post in a copy without labels: its name and date fields say the same word, one
// of deletion, and nothing else follows ("6 ：あぼーん：あぼーん", "6 あぼーん あぼーん"); a
// post's own lines may repeat other words ("2 はい はい"). The name starts at nameBegin.
bool ParseDeleted(std::string_view line, std::size_t digits, std::size_t nameBegin, uint32_t number,
                  PostHeader& header) {
    std::size_t nameEnd = nameBegin;
    while (nameEnd < line.size() && BlankAt(line, nameEnd) == 0 && ColonAt(line, nameEnd) == 0) {
        ++nameEnd;
    }
    std::size_t dateBegin = SkipBlanks(line, nameEnd);
    dateBegin = SkipBlanks(line, dateBegin + ColonAt(line, dateBegin));
    const std::size_t dateEnd = BlanksBefore(line, line.size());
    const std::string_view name = line.substr(nameBegin, nameEnd - nameBegin);
    if (dateBegin == nameEnd || name.empty() || dateEnd <= dateBegin ||
        name != line.substr(dateBegin, dateEnd - dateBegin) ||
        name.find(kDeletedWord) == std::string_view::npos) {
        return false;
    }
    header.Clear();
    header.number = number;
    PartAdder add(line, header);
    add.Add(HeaderPartKind::Number, 0, digits);
    add.Add(HeaderPartKind::Name, nameBegin, nameEnd);
    add.Add(HeaderPartKind::Date, dateBegin, dateEnd);
    add.Finish();
    header.Classify(false);
    return true;
}

}  // namespace

bool ParseHeader(std::string_view line, uint32_t previous, PostHeader& header) {
    std::size_t count = 0;
    uint64_t value = 0;
    const std::size_t digits = LeadingNumber(line, count, value);
    if (count == 0 || count > 9) return false;
    const auto number = static_cast<uint32_t>(value);
    if (number <= previous) return false;
    bool dated = false;
    if (!ParseHeaderForms(line, digits, number, header, dated)) {
        // The board's post in a copy without labels: "1001 １００１ Over 1000 Thread",
        // "1001: …", "1001 ：１００１：…".
        std::size_t nameBegin = SkipBlanks(line, digits);
        nameBegin = SkipBlanks(line, nameBegin + ColonAt(line, nameBegin));
        if (nameBegin == digits) return false;
        if (ParseDeleted(line, digits, nameBegin, number, header)) return true;
        if (!HasBoardLineWords(line.substr(nameBegin))) return false;
        header.Clear();
        header.number = number;
        header.kind = PostKind::Board;
        header.parts.push_back({HeaderPartKind::Number, line.substr(0, digits)});
        header.parts.push_back({HeaderPartKind::Text, line.substr(digits, nameBegin - digits)});
        header.parts.push_back({HeaderPartKind::Name, line.substr(nameBegin)});
        return true;
    }
    header.Classify(dated);
    return true;
}

namespace {

bool ParseHeaderForms(std::string_view line, std::size_t digits, uint32_t number,
                      PostHeader& header, bool& dated) {
    // The blanks or colon after the number, and the name label.
    std::size_t p = SkipBlanks(line, digits);
    bool separated = p > digits;
    bool labelled = false;
    if (BytesAt(line, p, kNameLabel) && ColonAt(line, p + kNameLabel.size()) > 0) {
        p += kNameLabel.size() + ColonAt(line, p + kNameLabel.size());
        labelled = separated = true;
    } else if (const std::size_t colon = ColonAt(line, p)) {
        p += colon;
        separated = true;
    }
    if (!separated) return false;
    const std::size_t nameBegin = SkipBlanks(line, p);  // "12: 名無し", "12 名前： 名無し"

    // The date: the first one after a blank, colon or date label that ends the header fittingly.
    std::size_t dateBegin = std::string_view::npos, dateEnd = 0, nameEnd = 0;
    for (std::size_t q = nameBegin; q < line.size(); ++q) {
        const bool digitsStart = IsDigit(line[q]) && (q == nameBegin || !IsDigit(line[q - 1]));
        if (!digitsStart && !(EraLeadAt(line, q) && EraAt(line, q))) continue;
        const std::size_t length = DateLength(line.substr(q), labelled);
        if (length == 0 || !TailFits(line, q + length)) continue;
        std::size_t r = BlanksBefore(line, q);
        r = ColonBefore(line, r);
        if (r >= kDateLabel.size() &&
            line.substr(r - kDateLabel.size(), kDateLabel.size()) == kDateLabel) {
            r -= kDateLabel.size();
        }
        r = BlanksBefore(line, r);
        if (r == q && q != nameBegin) continue;  // a date run into the name
        dateBegin = q;
        dateEnd = q + length;
        nameEnd = r < nameBegin ? nameBegin : r;
        break;
    }
    dated = dateBegin != std::string_view::npos;
    if (!dated) {
        // A labelled header whose date label is followed by anything at all; without "名前："
        // the label needs its colon ("2 名無し 投稿日：平成25年 ID:x").
        const std::size_t label = line.find(kDateLabel, nameBegin);
        if (label == std::string_view::npos ||
            (!labelled && ColonAt(line, label + kDateLabel.size()) == 0)) {
            return false;
        }
        nameEnd = BlanksBefore(line, label);
        if (nameEnd < nameBegin) nameEnd = nameBegin;
        dateBegin = label + kDateLabel.size();
        dateBegin += ColonAt(line, dateBegin);
        dateBegin = SkipBlanks(line, dateBegin);
        dateEnd = DateTailStart(line, dateBegin);
    }

    header.Clear();
    header.number = number;
    header.parts.push_back({HeaderPartKind::Number, line.substr(0, digits)});
    if (nameBegin > digits)
        header.parts.push_back({HeaderPartKind::Text, line.substr(digits, nameBegin - digits)});
    AddNameParts(line.substr(nameBegin, nameEnd - nameBegin), header);
    if (dateBegin > nameEnd)
        header.parts.push_back({HeaderPartKind::Text, line.substr(nameEnd, dateBegin - nameEnd)});
    header.parts.push_back({HeaderPartKind::Date, line.substr(dateBegin, dateEnd - dateBegin)});
    AddTailParts(line.substr(dateEnd), header);
    return true;
}

}  // namespace

const char* PartClass(HeaderPartKind kind) {
    switch (kind) {
        case HeaderPartKind::Number:
            return "num";
        case HeaderPartKind::Name:
            return "name";
        case HeaderPartKind::Trip:
            return "trip";
        case HeaderPartKind::Mail:
            return "mail";
        case HeaderPartKind::Date:
            return "date";
        case HeaderPartKind::Id:
            return "id";
        case HeaderPartKind::Be:
            return "be";
        case HeaderPartKind::Cap:
            return "cap";
        case HeaderPartKind::Badge:
            return "badge";
        case HeaderPartKind::Extra:
            return "extra";
        case HeaderPartKind::Text:
            break;
    }
    return nullptr;
}

}  // namespace horofu
