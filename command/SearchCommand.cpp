// horofu --search: the same search as the site's search page, from the same index files, with
// the match highlighted as grep highlights it when the output is a terminal.
#include "command/SearchCommand.h"

#include <cstdio>

#include "command/OptionParser.h"
#include "search/SearchQuery.h"

namespace horofu {

bool IsSearchCommand(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--") return false;
        if (arguments[i] == "--search" || arguments[i].compare(0, 9, "--search=") == 0) return true;
    }
    return false;
}

int RunSearchCommand(const std::vector<std::string>& arguments, Terminal& terminal) {
    enum { kSearch = 256, kAll, kColor };
    OptionParser parser(arguments, {{"search", 0, OptionValue::Required, kSearch},
                                    {"all", 0, OptionValue::None, kAll},
                                    {"color", 0, OptionValue::Optional, kColor},
                                    {"colour", 0, OptionValue::Optional, kColor}});
    constexpr StandardStream kOut = StandardStream::Output, kErr = StandardStream::Error;
    std::string site, color = "auto";
    bool all = false;
    for (FoundOption found; parser.Next(found);) {
        if (found.problem != FoundOption::None) {
            terminal.Write(kErr, "Usage: horofu --search=SITE [--all] [--color[=WHEN]] TEXT...\n");
            return 2;
        }
        if (found.id == kSearch) {
            site = found.value;
        } else if (found.id == kAll) {
            all = true;
        } else if (found.id == kColor) {
            color = found.hasValue ? found.value : "always";
        }
    }
    // The index holds UTF-8; the words come in the program's text (the ANSI code page on
    // Windows), which the terminal turns into UTF-8 there and passes as it is on POSIX.
    std::string query;
    for (const std::string& word : parser.Operands()) {
        if (!query.empty()) query += ' ';
        query += terminal.FromProgramText(word);
    }
    if (site.empty() || query.empty() ||
        (color != "auto" && color != "always" && color != "never")) {
        terminal.Write(kErr,
                       "horofu: --search needs a site and a text: horofu --search=SITE TEXT\n");
        return 2;
    }

    SiteSearch search;
    SearchResults results;
    std::string error;
    if (!search.Open(site, error) || !search.Find(query, all ? 0 : 100, results, error)) {
        terminal.Say(kErr, "horofu: " + error);
        return 2;
    }
    const bool toTerminal = terminal.IsTerminal(kOut);
    const bool highlight = color == "always" || (color == "auto" && toTerminal);
    // Thread text (UTF-8, as the index holds it) may hold control bytes; a terminal would obey
    // them.
    auto safe = [&](const std::string& text) {
        return toTerminal ? terminal.ShowControls(text) : text;
    };
    for (const SearchHit& hit : results.hits) {
        std::string out = safe(hit.Link()) + "\t" + safe(hit.title) + "\t" + safe(hit.date) + "\t" +
                          safe(hit.name) + "\n\t" + (hit.cutBefore ? "…" : "") + safe(hit.before) +
                          (highlight ? "\x1b[1;31m" : "") + safe(hit.match) +
                          (highlight ? "\x1b[m" : "") + safe(hit.after) +
                          (hit.cutAfter ? "…" : "") + "\n";
        terminal.Write(kOut, out);
    }
    const auto total = static_cast<unsigned long long>(results.total);
    char told[128];
    if (results.total == 0) {
        std::snprintf(told, sizeof told, "horofu: no post holds that text\n");
    } else if (results.hits.size() < results.total) {
        std::snprintf(told, sizeof told,
                      "horofu: %llu posts hold that text; the newest %zu shown (--all shows all)\n",
                      total, results.hits.size());
    } else {
        std::snprintf(told, sizeof told,
                      total == 1 ? "horofu: %llu post holds that text\n"
                                 : "horofu: %llu posts hold that text\n",
                      total);
    }
    terminal.Write(kErr, told);
    if (!terminal.Flush(kOut)) return 2;
    return results.total > 0 ? 0 : 1;
}

}  // namespace horofu
