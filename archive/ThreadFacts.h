// What the archive learns of a thread while its page is written, and how it is handed from the
// process that converted the thread to the one that builds the site.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchIndex.h"

namespace horofu {

struct ThreadFacts {
    std::string title;
    uint64_t posts = 0;
    std::string firstDate;  // the first and last post's date as shown
    std::string lastDate;
    std::vector<std::string> names;  // "board/key" of the threads its addresses name, once each
    uint64_t links = 0;              // the state of the links the page was written with
    uint64_t ngUndecided = 0;        // posts kept where an NG pattern gave up searching a line
    std::vector<SearchPost> search;  // every post, for the search index
};

// The facts as bytes, and back; ReadFacts is false for bytes that are not whole facts (a
// worker that died half-way).
std::string FactsText(const ThreadFacts& facts);
bool ReadFacts(std::string_view text, ThreadFacts& facts);

}  // namespace horofu
