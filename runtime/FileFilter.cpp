// Building and reading the zero-separated filter text of the file dialogs.
#include "runtime/FileFilter.h"

#include <cstddef>
#include <string_view>

#include "runtime/Split.h"

namespace horofu {
namespace {

// HTMLファイル(*.html)
constexpr char kHtmlDisplay[] = "HTML\x83\x74\x83\x40\x83\x43\x83\x8b(*.html)";
// 実行ファイル(*.exe)
constexpr char kExeDisplay[] = "\x8e\xc0\x8d\x73\x83\x74\x83\x40\x83\x43\x83\x8b(*.exe)";
// TEXTファイル(*.txt)
constexpr char kTextDisplay[] = "TEXT\x83\x74\x83\x40\x83\x43\x83\x8b(*.txt)";
// すべてのファイル(*.*)
constexpr char kAllDisplay[] =
    "\x82\xb7\x82\xd7\x82\xc4\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b(*.*)";

struct OfferedEntry {
    const char* key;            // searched for in the extension list
    const char* extensions[2];  // the initial extensions that put the entry first
    const char* display;
    const char* pattern;
};

// In the order they are looked at; each one not first goes in front of the rest, which is
// what makes the order of the others text, executable, HTML.
constexpr OfferedEntry kOffered[] = {
    {"htm", {"htm", "html"}, kHtmlDisplay, "*.htm;*.html"},
    {"exe", {"exe", nullptr}, kExeDisplay, "*.exe"},
    {"txt", {"txt", nullptr}, kTextDisplay, "*.txt"},
};

Text Entry(const char* display, const char* pattern) {
    return Text(display) + Chr(0) + Text(pattern) + Chr(0);
}

}  // namespace

Text FilterText(const Text& extensions, const Text& extension) {
    Text first;
    Text rest = Entry(kAllDisplay, "*.*") + Chr(0);
    for (const OfferedEntry& offered : kOffered) {
        if (CountOccurrences(extensions, Text(offered.key)) == 0) continue;
        bool isFirst = false;
        for (const char* e : offered.extensions) {
            if (e != nullptr && extension == Text(e)) isFirst = true;
        }
        if (isFirst) {
            first = Entry(offered.display, offered.pattern);
        } else {
            rest = Entry(offered.display, offered.pattern) + rest;
        }
    }
    return first + rest;
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
