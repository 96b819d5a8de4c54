// Building and reading the zero-separated filter text of the file dialogs.
#include "runtime/FileFilter.h"

#include <cstddef>
#include <string_view>

#include "runtime/Split.h"

namespace horofu {
namespace {

// HTMLファイル(*.html)
constexpr char kHtmlDisplay[] = "HTML\x83\x74\x83\x40\x83\x43\x83\x8b(*.html)";
// HTMLファイル・UTF-8 新形式(*.html)
constexpr char kModernHtmlDisplay[] =
    "HTML\x83\x74\x83\x40\x83\x43\x83\x8b\x81\x45UTF-8 \x90\x56\x8c\x60\x8e\xae(*.html)";
// 実行ファイル(*.exe)
constexpr char kExeDisplay[] = "\x8e\xc0\x8d\x73\x83\x74\x83\x40\x83\x43\x83\x8b(*.exe)";
// TEXTファイル(*.txt)
constexpr char kTextDisplay[] = "TEXT\x83\x74\x83\x40\x83\x43\x83\x8b(*.txt)";
// DATファイル(*.dat)
constexpr char kDatDisplay[] = "DAT\x83\x74\x83\x40\x83\x43\x83\x8b(*.dat)";
// TEXT・DATファイル(*.txt;*.dat)
constexpr char kThreadDisplay[] =
    "TEXT\x81\x45"
    "DAT\x83\x74\x83\x40\x83\x43\x83\x8b(*.txt;*.dat)";
// すべてのファイル(*.*)
constexpr char kAllDisplay[] =
    "\x82\xb7\x82\xd7\x82\xc4\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b(*.*)";

struct OfferedEntry {
    const char* keys[2];    // each one must occur in the extension list (the second may be null)
    const char* firsts[2];  // the initial extensions that put the entry first
    const char* display;
    const char* pattern;
};

// In the order the entries that do not come first follow it: text, executable and HTML as
// ever, each thread kind before the executable, the modern page after the classic one.
constexpr OfferedEntry kOffered[] = {
    {{"txt", nullptr}, {"txt", nullptr}, kTextDisplay, "*.txt"},
    {{"dat", nullptr}, {"dat", nullptr}, kDatDisplay, "*.dat"},
    {{"txt", "dat"}, {nullptr, nullptr}, kThreadDisplay, "*.txt;*.dat"},
    {{"exe", nullptr}, {"exe", nullptr}, kExeDisplay, "*.exe"},
    {{"htm", nullptr}, {"htm", "html"}, kHtmlDisplay, "*.htm;*.html"},
    {{"modern", nullptr}, {nullptr, nullptr}, kModernHtmlDisplay, "*.htm;*.html"},
};

Text Entry(const char* display, const char* pattern) {
    return Text(display) + Chr(0) + Text(pattern) + Chr(0);
}

bool Offered(const OfferedEntry& entry, const Text& extensions) {
    for (const char* key : entry.keys) {
        if (key != nullptr && CountOccurrences(extensions, Text(key)) == 0) return false;
    }
    return true;
}

bool ComesFirst(const OfferedEntry& entry, const Text& extension) {
    for (const char* e : entry.firsts) {
        if (e != nullptr && extension == Text(e)) return true;
    }
    return false;
}

}  // namespace

Text FilterText(const Text& extensions, const Text& extension) {
    Text first;
    Text rest;
    for (const OfferedEntry& offered : kOffered) {
        if (!Offered(offered, extensions)) continue;
        if (ComesFirst(offered, extension)) {
            first = Entry(offered.display, offered.pattern);
        } else {
            rest += Entry(offered.display, offered.pattern);
        }
    }
    return first + rest + Entry(kAllDisplay, "*.*") + Chr(0);
}

std::vector<FilterEntry> FilterEntries(const Text& filter) {
    std::vector<FilterEntry> entries;
    std::string_view rest = filter.View();
    // Takes the bytes up to the next zero byte (or the end) and steps over that zero byte.
    auto take = [&rest]() {
        const std::size_t zero = rest.find('\0');
        const std::string_view part = rest.substr(0, zero);
        rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
        return Text(part);
    };
    while (!rest.empty() && rest.front() != '\0') {
        Text display = take();
        Text pattern = take();
        entries.push_back({std::move(display), std::move(pattern)});
    }
    return entries;
}

}  // namespace horofu
