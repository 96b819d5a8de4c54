// Reading .dat lines: fields, and their HTML reduced to text.
#include "converter/modern/DatThread.h"

#include <charconv>

#include "converter/modern/CharacterReferences.h"
#include "runtime/Ascii.h"
#include "runtime/ByteScan.h"

namespace horofu {
namespace {

constexpr std::string_view kSeparator = "<>";
constexpr uint32_t kLargestNumber = 999999999;

// The next field of line from at (up to "<>" or the end); at moves past its separator.
std::string_view NextField(std::string_view line, std::size_t& at) {
    if (at > line.size()) return {};
    const std::size_t end = line.find(kSeparator, at);
    const std::string_view field =
        line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    at = end == std::string_view::npos ? line.size() + 1 : end + kSeparator.size();
    return field;
}

// The number of fields of a line: one more than its separators.
std::size_t CountFields(std::string_view line) {
    std::size_t fields = 1;
    for (std::size_t at = line.find(kSeparator); at != std::string_view::npos;
         at = line.find(kSeparator, at + kSeparator.size())) {
        ++fields;
    }
    return fields;
}

// text without its blanks (ASCII and ideographic) at either end.
std::string Trimmed(std::string_view text) {
    for (;;) {
        if (text.starts_with(' ')) {
            text.remove_prefix(1);
        } else if (text.starts_with("\xE3\x80\x80")) {
            text.remove_prefix(3);
        } else if (text.ends_with(' ')) {
            text.remove_suffix(1);
        } else if (text.ends_with("\xE3\x80\x80")) {
            text.remove_suffix(3);
        } else {
            return std::string(text);
        }
    }
}

// The blank a .dat writes on either side of each "<br>" and at both ends of a body; start
// and end: body holds the body's start and end (not a piece of a body between them).
void TrimDatBlanks(std::string& body, bool start = true, bool end = true) {
    std::string trimmed;
    trimmed.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == ' ' &&
            ((start && i == 0) || (end && i + 1 == body.size()) ||
             (i + 1 < body.size() && body[i + 1] == '\n') || (i > 0 && body[i - 1] == '\n'))) {
            continue;
        }
        trimmed += c;
    }
    body.swap(trimmed);
}

}  // namespace

bool IsDatFileName(std::string_view name) {
    return name.size() >= 4 && EqualsIgnoringAsciiCase(name.substr(name.size() - 4), ".dat");
}

bool LooksLikeDatLine(std::string_view line) {
    std::size_t count = 0;
    for (std::size_t at = line.find(kSeparator); at != std::string_view::npos;
         at = line.find(kSeparator, at + kSeparator.size())) {
        ++count;
    }
    return count >= 4;
}

void AppendHtmlText(std::string_view html, std::string& out, uint64_t* invalid) {
    std::size_t p = 0;
    // The first '>' after the latest '<': every '<' before it closes there, and none after the
    // last '>' closes at all, so the line is searched for '>' once through, not once a '<'.
    std::size_t nextClose = 0;
    while (p < html.size()) {
        const std::size_t stop = html.find_first_of("<&", p);
        out.append(
            html.substr(p, stop == std::string_view::npos ? std::string_view::npos : stop - p));
        if (stop == std::string_view::npos) return;
        p = stop;
        if (html[p] == '<') {
            if (nextClose != std::string_view::npos && nextClose <= p) {
                nextClose = html.find('>', p + 1);
            }
            const std::size_t close = nextClose;
            const bool tag =
                close != std::string_view::npos && p + 1 < html.size() &&
                (IsAsciiLetter(html[p + 1]) || html[p + 1] == '/' || html[p + 1] == '!');
            if (!tag) {
                out += '<';
                ++p;
                continue;
            }
            std::string_view name = html.substr(p + 1, close - p - 1);
            name = name.substr(0, name.find_first_of(" \t/"));
            // A rule ("<hr>", as boards put under a notice) parts lines as a break does.
            if (EqualsIgnoringAsciiCase(name, "br") || EqualsIgnoringAsciiCase(name, "hr")) {
                out += '\n';
            }
            p = close + 1;
        } else {
            uint64_t ignored = 0;
            const std::size_t length =
                DecodeReference(html, p, out, invalid != nullptr ? *invalid : ignored);
            if (length == 0) out += '&';
            p += length == 0 ? 1 : length;
        }
    }
}

DatForm FindDatForm(std::string_view line, bool datName) {
    std::size_t separators = 0;
    for (std::size_t at = line.find(kSeparator); at != std::string_view::npos;
         at = line.find(kSeparator, at + kSeparator.size())) {
        ++separators;
    }
    std::size_t digits = 0;
    while (digits < line.size() && IsAsciiDigit(line[digits])) ++digits;
    if (digits >= 1 && digits <= 9 && BytesAt(line, digits, kSeparator)) {
        // Six fields or more; or five whose date is the fourth, where a name-first line has
        // its body ("1<>名無し<><>2008/03/01(土) 12:00:00<>本文": a first line without its title).
        // A date in the third field is a name-first line's, its name in digits ("1<><>2024/…
        // <>本文<>題<>", as a thread's first poster may sign, in a mirror's line closing in "<>").
        std::size_t at = 0;
        std::string_view third, fourth;
        for (int f = 0; f < 4; ++f) {
            third = fourth;
            fourth = NextField(line, at);
        }
        const bool dateThird = DateLength(third, true) > 0;
        const bool dateFourth = DateLength(fourth, true) > 0;
        if ((separators >= 5 && (dateFourth || !dateThird)) ||
            (separators == 4 && dateFourth && !dateThird)) {
            return DatForm::NumberFirst;
        }
    }
    if (separators >= 4) return DatForm::Standard;
    if (separators == 0) {
        // name,mail,date,body: the date's field starts with a date.
        std::size_t at = 0;
        std::size_t commas = 0;
        for (std::size_t i = 0; i < line.size() && commas < 2; ++i) commas += line[i] == ',';
        for (std::size_t i = 0; commas == 2 && i < line.size(); ++i) {
            if (line[i] == ',' && ++at == 2) {
                if (DateLength(line.substr(i + 1), true) > 0 &&
                    line.find(',', i + 1) != std::string_view::npos) {
                    return DatForm::Comma;
                }
                break;
            }
        }
    }
    return datName ? DatForm::Standard : DatForm::None;
}

std::string ThreadTitle(std::string_view title) {
    // Readers show the title up to a tab; the board's tail ("[無断転載禁止]©2ch.net") goes.
    title = title.substr(0, title.find('\t'));
    std::size_t end = title.size();
    const std::size_t copyright = title.rfind("\xC2\xA9");  // ©
    if (copyright != std::string_view::npos && title.find(' ', copyright) == std::string::npos) {
        end = copyright;
    }
    std::size_t trimmed = end;
    while (trimmed > 0 && title[trimmed - 1] == ' ') --trimmed;
    if (trimmed > 0 && title[trimmed - 1] == ']') {
        const std::size_t open = title.rfind('[', trimmed - 1);
        if (open != std::string_view::npos && open > 0) end = open;
    }
    while (end > 0 && title[end - 1] == ' ') --end;
    if (end == 0) end = title.size();
    return std::string(title.substr(0, end));
}

// Appends the text of a field of a comma line, where "＠｀" stands for a comma of the text.
void AppendCommaField(std::string_view field, std::string& out, uint64_t* invalid) {
    for (std::size_t k = 0; k < field.size();) {
        const std::size_t mark = field.find("\xEF\xBC\xA0\xEF\xBD\x80", k);  // ＠｀
        AppendHtmlText(field.substr(k, mark - k), out, invalid);
        if (mark == std::string_view::npos) break;
        out += ',';
        k = mark + 6;
    }
}

std::size_t DatPieceReadable(std::string_view piece) {
    constexpr std::size_t kLongestMark = 40;  // a tag such as "<br>" or a reference, at most
    const std::size_t from = piece.size() > kLongestMark ? piece.size() - kLongestMark : 0;
    const std::size_t open = piece.find_last_of("<&", std::string_view::npos);
    if (open == std::string_view::npos || open < from) return piece.size();
    const char close = piece[open] == '<' ? '>' : ';';
    return piece.find(close, open) == std::string_view::npos ? open : piece.size();
}

bool DatBodyGoesOn(std::string_view first, DatForm form) {
    const std::string_view separator = form == DatForm::Comma ? "," : kSeparator;
    std::size_t before = 0;  // fields before the body
    for (std::size_t at = first.find(separator); at != std::string_view::npos;
         at = first.find(separator, at + separator.size())) {
        ++before;
    }
    return before == (form == DatForm::NumberFirst ? 4u : 3u);
}

bool ContinueDatBody(std::string_view piece, DatForm form, std::string& body, uint64_t& invalid) {
    const std::size_t end = piece.find(form == DatForm::Comma ? "," : kSeparator);
    std::string text;
    if (form == DatForm::Comma) {
        AppendCommaField(piece.substr(0, end), text, &invalid);
    } else {
        AppendHtmlText(piece.substr(0, end), text, &invalid);
    }
    TrimDatBlanks(text, false, end != std::string_view::npos);
    body.append(text);
    return end == std::string_view::npos;
}

void ParseDatLine(std::string_view line, uint32_t number, DatForm form, DatPost& post) {
    post.headerText.clear();
    post.header.Clear();
    post.body.clear();
    post.title.clear();
    post.invalidReferences = 0;
    uint64_t* const invalid = &post.invalidReferences;
    std::string name, mail, date, id;
    bool broken = false;
    if (form == DatForm::Comma) {
        // Fields end at commas; a comma of the text was written "＠｀".
        std::string fields[5];
        std::size_t at = 0;
        for (int f = 0; f < 5; ++f) {
            const std::size_t end = f < 4 ? line.find(',', at) : std::string_view::npos;
            std::string_view field = at <= line.size() ? line.substr(at, end - at) : "";
            AppendCommaField(field, fields[f], invalid);
            broken = broken || (f < 3 && end == std::string_view::npos);
            at = end == std::string_view::npos ? line.size() + 1 : end + 1;
        }
        if (broken) {
            AppendHtmlText(line, post.body, invalid);  // too few fields: the line's text, whole
        } else {
            name = std::move(fields[0]);
            mail = std::move(fields[1]);
            date = std::move(fields[2]);
            post.body = std::move(fields[3]);
            post.title = std::move(fields[4]);
        }
    } else {
        std::size_t at = 0;
        if (form == DatForm::NumberFirst) {
            const std::string_view field = NextField(line, at);
            uint32_t own = 0;
            const auto [end, error] =
                std::from_chars(field.data(), field.data() + field.size(), own);
            // Nine digits at most, as a header's number: a larger one would leave no room
            // for the numbers of the posts after it.
            if (error == std::errc() && end == field.data() + field.size() && own >= number &&
                own <= kLargestNumber) {
                number = own;
            } else {
                broken = true;  // no number, or one going back: shown whole, as it stands
            }
        }
        // A number-first line may end at its number: nothing is left then.
        const std::size_t fields = at <= line.size() ? CountFields(line.substr(at)) : 0;
        if (fields < 4 || broken) {
            // Too few fields for a post: the line's text, whole, as the broken post's body.
            AppendHtmlText(line, post.body, invalid);
            broken = true;
        } else {
            AppendHtmlText(NextField(line, at), name, invalid);
            AppendHtmlText(NextField(line, at), mail, invalid);
            AppendHtmlText(NextField(line, at), date, invalid);
            AppendHtmlText(NextField(line, at), post.body, invalid);
            if (form == DatForm::NumberFirst) {
                AppendHtmlText(NextField(line, at), post.title, invalid);
                AppendHtmlText(NextField(line, at), id, invalid);  // a rental board's raw ID
            } else {
                // The title is the fifth field: a closing "<>", or fields some mirrors add
                // after it, are not part of it (readers show the fifth field alone).
                AppendHtmlText(NextField(line, at), post.title, invalid);
            }
        }
    }
    if (!broken) TrimDatBlanks(post.body);
    if (!post.title.empty()) post.title = ThreadTitle(post.title);
    // The poster's icon opens the body: "sssp://…/x.gif" and its line end.
    std::string badge;
    if (post.body.starts_with("sssp://")) {
        const std::size_t end = post.body.find_first_of(" \n");
        badge = post.body.substr(0, end);
        post.body.erase(0,
                        end == std::string::npos ? end : post.body.find_first_not_of(" \n", end));
    }
    // A name's blanks around its bold tags ("名無し </b>◆trip <b>") are the board's.
    name = Trimmed(name);
    date = Trimmed(date);
    id = Trimmed(id);
    if (!id.empty() && date.find("ID:") == std::string::npos) date += " ID:" + id;
    // The header as text: "N name [mail] date", with the parts found in it afterwards.
    std::string& h = post.headerText;
    h = std::to_string(number);
    const std::size_t nameBegin = h.size() + 1;
    h += ' ';
    h += name;
    const std::size_t nameEnd = h.size();
    std::size_t mailBegin = 0;
    if (!mail.empty()) {
        h += " [";
        mailBegin = h.size();
        h += mail;
        h += ']';
    }
    const std::size_t dateBegin = h.size() + 1;
    h += ' ';
    h += date;
    // The date is all before its tails ("ID:", "BE:"), whatever its form.
    const std::size_t dateEnd = DateTailStart(h, dateBegin);
    std::size_t badgeBegin = 0;
    if (!badge.empty()) {
        h += ' ';
        badgeBegin = h.size();
        h += badge;
    }
    const std::string_view view = h;
    PostHeader& header = post.header;
    header.number = number;
    header.parts.push_back({HeaderPartKind::Number, view.substr(0, nameBegin - 1)});
    header.parts.push_back({HeaderPartKind::Text, view.substr(nameBegin - 1, 1)});
    AddNameParts(view.substr(nameBegin, nameEnd - nameBegin), header, false);
    if (!mail.empty()) {
        header.parts.push_back({HeaderPartKind::Text, view.substr(nameEnd, mailBegin - nameEnd)});
        header.parts.push_back({HeaderPartKind::Mail, view.substr(mailBegin, mail.size())});
        header.parts.push_back({HeaderPartKind::Text, view.substr(mailBegin + mail.size(), 1)});
    }
    header.parts.push_back({HeaderPartKind::Text, view.substr(dateBegin - 1, 1)});
    header.parts.push_back({HeaderPartKind::Date, view.substr(dateBegin, dateEnd - dateBegin)});
    const std::size_t tailEnd = badge.empty() ? h.size() : badgeBegin - 1;
    AddTailParts(view.substr(dateEnd, tailEnd - dateEnd), header);
    if (!badge.empty()) {
        header.parts.push_back({HeaderPartKind::Text, view.substr(badgeBegin - 1, 1)});
        header.parts.push_back({HeaderPartKind::Badge, view.substr(badgeBegin)});
    }
    if (broken) header.kind = PostKind::Broken;
    header.Classify(DateLength(view.substr(dateBegin, dateEnd - dateBegin), true) > 0);
}

}  // namespace horofu
