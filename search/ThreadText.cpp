// A thread's stored text, its posts' times and grams.
#include "search/ThreadText.h"

#include <algorithm>
#include <map>

#include "search/ScriptValue.h"
#include "search/SearchFold.h"

namespace horofu {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The first six runs of ASCII digits of a date as shown, or false when there are fewer.
bool ParseTime(std::string_view date, int64_t& time) {
    int64_t n[6];
    int found = 0;
    for (std::size_t i = 0; i < date.size() && found < 6;) {
        if (date[i] < '0' || date[i] > '9') {
            ++i;
            continue;
        }
        int64_t v = 0;
        int digits = 0;
        for (; i < date.size() && date[i] >= '0' && date[i] <= '9'; ++i, ++digits) {
            if (digits < 9) v = v * 10 + (date[i] - '0');
        }
        n[found++] = v;
    }
    if (found < 6) return false;
    int64_t year = n[0] < 100 ? 2000 + n[0] : n[0];
    if (n[1] < 1 || n[1] > 12 || n[2] < 1 || n[2] > 31 || n[3] > 47 || n[4] > 59 || n[5] > 60) {
        return false;
    }
    time = DaysFromCivil(year, n[1], n[2]) * 86400 + n[3] * 3600 + n[4] * 60 + n[5];
    return true;
}

}  // namespace

std::vector<int64_t> PostTimes(const SearchThread& thread) {
    std::vector<int64_t> times;
    int64_t last = 0;
    for (const SearchPost& post : thread.posts) {
        int64_t t = 0;
        if (ParseTime(post.date, t)) last = t;
        times.push_back(last);
    }
    return times;
}

std::string ThreadScript(const SearchThread& thread, const std::vector<int64_t>& times,
                         uint32_t slot, uint32_t gen) {
    std::map<std::string, std::size_t> nameIndex;
    std::vector<const std::string*> names;
    for (const SearchPost& post : thread.posts) {
        if (nameIndex.emplace(post.name, names.size()).second) names.push_back(&post.name);
    }
    std::string out =
        "horofuSearch.thread(" + std::to_string(slot) + "," + std::to_string(gen) + ",[";
    for (const std::string* name : names) {
        if (name != names.front()) out += ',';
        AppendJsonString(out, *name);
    }
    out += "],[";
    int64_t before = 0;
    uint32_t number = 0;
    std::u32string lastDate;
    for (std::size_t i = 0; i < thread.posts.size(); ++i) {
        const SearchPost& post = thread.posts[i];
        out += i == 0 ? "[" : ",[";
        // A date is mostly its predecessor's: only the code points after the shared ones.
        const std::u32string date = DecodeUtf8(post.date);
        std::size_t shared = 0;
        while (shared < date.size() && shared < lastDate.size() &&
               date[shared] == lastDate[shared]) {
            ++shared;
        }
        out += std::to_string(times[i] - before);
        out += ',';
        out += std::to_string(shared);
        out += ',';
        before = times[i];
        AppendJsonString(out, EncodeUtf8(std::u32string_view(date).substr(shared)));
        lastDate = date;
        out += ',';
        AppendJsonString(out, StoredText(post));
        // The name's index and the number only where they are not the usual first name and
        // the number after the one before.
        const std::size_t name = nameIndex[post.name];
        const bool numberShown = post.number != number + 1;
        if (name != 0 || numberShown) {
            out += ',';
            out += std::to_string(name);
        }
        if (numberShown) {
            out += ',';
            out += std::to_string(post.number);
        }
        number = post.number;
        out += ']';
    }
    out += "]);\n";
    return out;
}

std::string SmallerEncoding(std::string utf8) {
    const std::u32string text = DecodeUtf8(utf8);
    std::size_t units = 1;  // the byte-order mark
    for (char32_t c : text) units += c >= 0x10000 ? 2 : 1;
    if (units * 2 >= utf8.size()) return utf8;
    std::string out = "\xff\xfe";
    out.reserve(units * 2);
    auto unit = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (char32_t c : text) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

bool ParseThreadScript(std::string_view script, std::vector<StoredPost>& posts) {
    posts.clear();
    std::u32string wide;
    if (script.size() >= 2 && script[0] == '\xff' && script[1] == '\xfe') {
        for (std::size_t i = 2; i + 1 < script.size(); i += 2) {
            char32_t u = static_cast<unsigned char>(script[i]) |
                         static_cast<char32_t>(static_cast<unsigned char>(script[i + 1])) << 8;
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < script.size()) {
                const char32_t low =
                    static_cast<unsigned char>(script[i + 2]) |
                    static_cast<char32_t>(static_cast<unsigned char>(script[i + 3])) << 8;
                if (low >= 0xDC00 && low < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            wide.push_back(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
        }
    }
    const std::string decoded = wide.empty() ? std::string() : EncodeUtf8(wide);
    if (!wide.empty()) script = decoded;
    ScriptValue a;
    if (!ParseScriptCall(script, a) || a.size() != 4) return false;
    const ScriptValue& names = a[2];
    int64_t time = 0;
    std::u32string date;
    uint32_t number = 0;
    for (const ScriptValue& p : a[3].items) {
        if (p.size() < 4 || p[1].number < 0) return false;
        StoredPost post;
        time += p[0].number;
        post.time = time;
        date.resize(std::min(date.size(), static_cast<std::size_t>(p[1].number)));
        date += DecodeUtf8(p[2].text);
        post.date = EncodeUtf8(date);
        post.text = p[3].text;
        post.name = names[static_cast<std::size_t>(p[4].number)].text;  // Null: 0
        number = post.number = p.size() > 5 ? static_cast<uint32_t>(p[5].number) : number + 1;
        posts.push_back(std::move(post));
    }
    return true;
}

std::string StoredText(const SearchPost& post) {
    std::string text;
    for (const std::string& line : post.lines) {
        if (&line != post.lines.data()) text += '\n';
        // A line holds no line break; one inside would let a match span two lines.
        for (char c : line) text += c == '\n' || c == '\r' ? ' ' : c;
    }
    return text;
}

void PostGrams(std::string_view text, std::vector<std::string>& pairs,
               std::vector<std::string>& characters) {
    pairs.clear();
    characters.clear();
    const std::u32string folded = FoldText(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (folded[i] == U'\n') continue;
        characters.push_back(EncodeUtf8(folded.substr(i, 1)));
        if (i + 1 < folded.size() && folded[i + 1] != U'\n') {
            pairs.push_back(EncodeUtf8(folded.substr(i, 2)));
        }
    }
    for (auto* grams : {&pairs, &characters}) {
        std::sort(grams->begin(), grams->end());
        grams->erase(std::unique(grams->begin(), grams->end()), grams->end());
    }
}

}  // namespace horofu
