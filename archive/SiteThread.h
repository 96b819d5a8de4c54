// What the archive knows of one thread of a site, kept from run to run in the site's record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace horofu {

struct SiteThread {
    std::string board;
    std::string key;
    std::string source;    // the thread file the page was made from
    uint64_t size = 0;     // the source's size and modification time then
    int64_t modified = 0;  // (the file system's own count, compared only)
    uint64_t head = 0;     // a hash of the source's first bytes then
    std::string title;     // in UTF-8, as the page shows it
    uint64_t posts = 0;
    std::string firstDate;  // the first and last post's date as shown
    std::string lastDate;
    int64_t lastInstant = 0;         // the last post's instant (Unix seconds), 0 when unknown
    bool gone = false;               // the source was not found by the last run; the page stays
    std::string previous;            // "board/key" its first posts name as the previous thread
    std::vector<std::string> names;  // "board/key" of every thread its posts' addresses name
    uint64_t links = 0;              // a hash of the links its page was written with (LinkState)

    std::string Id() const { return board + "/" + key; }
};

}  // namespace horofu
