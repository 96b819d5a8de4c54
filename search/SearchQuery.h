// Searching a site's index, as horofu --search does and as the page's script does the same
// way: candidates from the gram lists, each checked against the post's text, newest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchCatalog.h"
#include "search/ThreadText.h"

namespace horofu {

// One post that holds the text, with the line around the first match (up to kSnippetBefore
// characters before it and kSnippetAfter after it; cut says whether more was left out).
struct SearchHit {
    std::string board, key, title;
    uint32_t number = 0;
    std::string date, name;
    std::string before, match, after;
    bool cutBefore = false, cutAfter = false;
    int64_t time = 0;
    uint32_t slot = 0, index = 0;

    std::string Link() const;  // BOARD/KEY.html#N, from the site's folder
};

inline constexpr std::size_t kSnippetBefore = 30;
inline constexpr std::size_t kSnippetAfter = 50;

struct SearchResults {
    uint64_t total = 0;  // every post that holds the text
    std::vector<SearchHit> hits;
};

// Where a folded query first matches in a post's stored text: the line and the match's
// range of its code points. False when it does not.
bool MatchPost(std::string_view text, std::u32string_view folded, std::u32string& line,
               std::size_t& start, std::size_t& end);

// A gram file's lists: gram -> coded ordinals.
using GramCodes = std::map<std::string, std::string, std::less<>>;

class SiteSearch {
  public:
    // Reads the site's catalog; false with a message naming the file and the fix.
    bool Open(const std::string& site, std::string& error);
    // The newest limit hits (all when limit is 0) and the exact total.
    bool Find(std::string_view query, std::size_t limit, SearchResults& results,
              std::string& error);

  private:
    bool Grams(const CatalogSegment& segment, uint32_t bucket, const GramCodes*& grams,
               std::string& error);

    std::string folder_;
    SearchCatalog catalog_;
    std::map<std::pair<uint32_t, uint32_t>, GramCodes> gramFiles_;
};

}  // namespace horofu
