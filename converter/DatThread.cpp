// Reading .dat lines: fields, and their HTML reduced to text.
#include "converter/DatThread.h"

#include <array>
#include <charconv>

#include "runtime/Ascii.h"

namespace horofu {
namespace {

constexpr std::string_view kSeparator = "<>";

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character a reference ("amp", "#39", "#x27") stands for; 0 when none it knows.
uint32_t ReferenceValue(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, uint32_t>, 6> kNamed{
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}}};
    for (const auto& [n, v] : kNamed) {
        if (n == name) return v;
    }
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return 0;
    // No zero byte, surrogate or value beyond Unicode: those stay as written.
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
    return value;
}

// The next field of line from at (up to "<>" or the end); at moves past its separator.
std::string_view NextField(std::string_view line, std::size_t& at) {
    if (at > line.size()) return {};
    const std::size_t end = line.find(kSeparator, at);
    const std::string_view field =
        line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    at = end == std::string_view::npos ? line.size() + 1 : end + kSeparator.size();
    return field;
}

// The blank a .dat writes on either side of each "<br>" and at both ends of a body.
void TrimDatBlanks(std::string& body) {
    std::string trimmed;
    trimmed.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == ' ' &&
            (i == 0 || i + 1 == body.size() || body[i + 1] == '\n' || body[i - 1] == '\n')) {
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

void AppendHtmlText(std::string_view html, std::string& out) {
    std::size_t p = 0;
    while (p < html.size()) {
        const std::size_t stop = html.find_first_of("<&", p);
        out.append(
            html.substr(p, stop == std::string_view::npos ? std::string_view::npos : stop - p));
        if (stop == std::string_view::npos) return;
        p = stop;
        if (html[p] == '<') {
            const std::size_t close = html.find('>', p + 1);
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
            if (EqualsIgnoringAsciiCase(name, "br")) out += '\n';
            p = close + 1;
        } else {
            const std::size_t semicolon = html.find(';', p + 1);
            const uint32_t value = semicolon != std::string_view::npos && semicolon - p <= 10
                                       ? ReferenceValue(html.substr(p + 1, semicolon - p - 1))
                                       : 0;
            if (value == 0) {
                out += '&';
                ++p;
                continue;
            }
            AppendUtf8(value, out);
            p = semicolon + 1;
        }
    }
}

void ParseDatLine(std::string_view line, uint32_t number, DatPost& post) {
    post.headerText.clear();
    post.header.Clear();
    post.body.clear();
    post.title.clear();
    std::size_t at = 0;
    const bool whole = LooksLikeDatLine(line) || line.find(kSeparator) != std::string_view::npos;
    std::string name, mail, date;
    if (whole) {
        AppendHtmlText(NextField(line, at), name);
        AppendHtmlText(NextField(line, at), mail);
        AppendHtmlText(NextField(line, at), date);
        AppendHtmlText(NextField(line, at), post.body);
        if (at <= line.size()) AppendHtmlText(line.substr(at), post.title);
    } else {
        AppendHtmlText(line, post.body);
    }
    if (whole) TrimDatBlanks(post.body);
    // A name's blanks around its bold tags ("名無し </b>◆trip <b>") are the board's.
    const std::size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string()
                                      : name.substr(first, name.find_last_not_of(' ') - first + 1);
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
    // The date ends where a tail such as "ID:" starts.
    std::size_t dateEnd = dateBegin + DateLength(std::string_view(h).substr(dateBegin), false);
    if (dateEnd == dateBegin) {
        const std::size_t tail = h.find(" ID:", dateBegin);
        dateEnd = tail == std::string::npos ? h.size() : tail;
    }
    const std::string_view view = h;
    PostHeader& header = post.header;
    header.number = number;
    header.parts.push_back({HeaderPartKind::Number, view.substr(0, nameBegin - 1)});
    header.parts.push_back({HeaderPartKind::Text, view.substr(nameBegin - 1, 1)});
    AddNameParts(view.substr(nameBegin, nameEnd - nameBegin), header);
    if (!mail.empty()) {
        header.parts.push_back({HeaderPartKind::Text, view.substr(nameEnd, mailBegin - nameEnd)});
        header.parts.push_back({HeaderPartKind::Mail, view.substr(mailBegin, mail.size())});
        header.parts.push_back({HeaderPartKind::Text, view.substr(mailBegin + mail.size(), 1)});
    }
    header.parts.push_back({HeaderPartKind::Text, view.substr(dateBegin - 1, 1)});
    header.parts.push_back({HeaderPartKind::Date, view.substr(dateBegin, dateEnd - dateBegin)});
    AddTailParts(view.substr(dateEnd), header);
}

}  // namespace horofu
