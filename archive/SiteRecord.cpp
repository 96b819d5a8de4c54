// The record's lines: the thread's fields separated by tabs.
#include "archive/SiteRecord.h"

#include <charconv>

namespace horofu {
namespace {

constexpr std::size_t kFields = 16;

template <typename Number>
bool ToNumber(const std::string& field, Number& value) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size();
}

}  // namespace

void AppendField(std::string& line, std::string_view field) {
    if (!line.empty()) line += '\t';
    for (char c : field) {
        switch (c) {
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\\':
                line += "\\\\";
                break;
            default:
                line += c;
        }
    }
}

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char e = line[++i];
            fields.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::string_view RecordStart() {
    return "horofu-site 1\n";
}

void AppendRecordLine(std::string& text, const SiteThread& t) {
    std::string line;
    std::string names;
    for (const std::string& name : t.names) {
        if (!names.empty()) names += ' ';
        names += name;
    }
    for (const std::string_view field :
         {std::string_view(t.board), std::string_view(t.key), std::string_view(t.source)}) {
        AppendField(line, field);
    }
    AppendField(line, std::to_string(t.size));
    AppendField(line, std::to_string(t.modified));
    AppendField(line, std::to_string(t.head));
    AppendField(line, t.title);
    AppendField(line, std::to_string(t.posts));
    AppendField(line, t.firstDate);
    AppendField(line, t.lastDate);
    AppendField(line, std::to_string(t.lastInstant));
    AppendField(line, t.gone ? "gone" : "-");
    AppendField(line, t.previous);
    AppendField(line, names);
    AppendField(line, std::to_string(t.links));
    AppendField(line, "");
    text += line;
    text += '\n';
}

std::string RecordText(const std::vector<const SiteThread*>& threads) {
    std::string text(RecordStart());
    for (const SiteThread* thread : threads) AppendRecordLine(text, *thread);
    return text;
}

bool IsRecordStart(std::string_view firstLine) {
    return firstLine == RecordStart().substr(0, RecordStart().size() - 1);
}

bool ReadRecordLine(std::string_view line, SiteThread& t) {
    const std::vector<std::string> f = SplitFields(line);
    if (f.size() != kFields || f[0].empty() || f[1].empty()) return false;
    t = SiteThread{};
    t.board = f[0];
    t.key = f[1];
    t.source = f[2];
    t.title = f[6];
    t.firstDate = f[8];
    t.lastDate = f[9];
    t.gone = f[11] == "gone";
    t.previous = f[12];
    for (std::size_t p = 0; p < f[13].size();) {
        std::size_t q = f[13].find(' ', p);
        if (q == std::string::npos) q = f[13].size();
        if (q > p) t.names.push_back(f[13].substr(p, q - p));
        p = q + 1;
    }
    return ToNumber(f[3], t.size) && ToNumber(f[4], t.modified) && ToNumber(f[5], t.head) &&
           ToNumber(f[7], t.posts) && ToNumber(f[10], t.lastInstant) && ToNumber(f[14], t.links);
}

bool ReadRecord(std::string_view text, std::vector<SiteThread>& threads) {
    threads.clear();
    const std::size_t first = text.find('\n');
    if (first == std::string_view::npos || !IsRecordStart(text.substr(0, first))) return false;
    text.remove_prefix(first + 1);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) break;  // a cut line: its thread is built again
        SiteThread t;
        if (ReadRecordLine(text.substr(0, end), t)) threads.push_back(std::move(t));
        text.remove_prefix(end + 1);
    }
    return true;
}

}  // namespace horofu
