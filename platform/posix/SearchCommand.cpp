// horofu --search: the same search as the site's search page, from the same index files, with
// the match highlighted as grep highlights it when the output is a terminal.
#include "platform/posix/SearchCommand.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/TerminalText.h"
#include "search/SearchQuery.h"

namespace horofu {

bool IsSearchCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--search") == 0 || std::strncmp(argv[i], "--search=", 9) == 0) {
            return true;
        }
    }
    return false;
}

int RunSearchCommand(int argc, char** argv) {
    enum { kSearch = 256, kAll, kColor };
    static const option longOptions[] = {{"search", required_argument, nullptr, kSearch},
                                         {"all", no_argument, nullptr, kAll},
                                         {"color", optional_argument, nullptr, kColor},
                                         {"colour", optional_argument, nullptr, kColor},
                                         {nullptr, 0, nullptr, 0}};
    std::string site, color = "auto";
    bool all = false;
    optind = 1;
    for (int c; (c = ::getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        if (c == kSearch) {
            site = optarg;
        } else if (c == kAll) {
            all = true;
        } else if (c == kColor) {
            color = optarg != nullptr ? optarg : "always";
        } else {
            std::fputs("Usage: horofu --search=SITE [--all] [--color[=WHEN]] TEXT...\n", stderr);
            return 2;
        }
    }
    std::string query;
    for (int i = optind; i < argc; ++i) {
        if (i > optind) query += ' ';
        query += argv[i];
    }
    if (site.empty() || query.empty() ||
        (color != "auto" && color != "always" && color != "never")) {
        std::fputs("horofu: --search needs a site and a text: horofu --search=SITE TEXT\n", stderr);
        return 2;
    }

    SiteSearch search;
    SearchResults results;
    std::string error;
    if (!search.Open(site, error) || !search.Find(query, all ? 0 : 100, results, error)) {
        std::fprintf(stderr, "horofu: %s\n", error.c_str());
        return 2;
    }
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    const bool highlight = color == "always" || (color == "auto" && terminal);
    TerminalText shown;
    // Thread text may hold control bytes; a terminal would obey them.
    auto safe = [&](const std::string& text) { return terminal ? shown.ShowControls(text) : text; };
    for (const SearchHit& hit : results.hits) {
        std::string out = safe(hit.Link()) + "\t" + safe(hit.title) + "\t" + safe(hit.date) + "\t" +
                          safe(hit.name) + "\n\t" + (hit.cutBefore ? "…" : "") + safe(hit.before) +
                          (highlight ? "\x1b[1;31m" : "") + safe(hit.match) +
                          (highlight ? "\x1b[m" : "") + safe(hit.after) +
                          (hit.cutAfter ? "…" : "") + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    const auto total = static_cast<unsigned long long>(results.total);
    if (results.total == 0) {
        std::fputs("horofu: no post holds that text\n", stderr);
    } else if (results.hits.size() < results.total) {
        std::fprintf(stderr,
                     "horofu: %llu posts hold that text; the newest %zu shown (--all shows all)\n",
                     total, results.hits.size());
    } else {
        std::fprintf(stderr,
                     total == 1 ? "horofu: %llu post holds that text\n"
                                : "horofu: %llu posts hold that text\n",
                     total);
    }
    if (std::fflush(stdout) != 0) return 2;
    return results.total > 0 ? 0 : 1;
}

}  // namespace horofu
