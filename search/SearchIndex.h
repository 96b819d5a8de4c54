// The archive's full-text search index: what it is told of each thread, and how a site's
// index is brought up to date. The archive (horofu --site) feeds it; the search page and
// horofu --search read what it writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace horofu {

// One post as its page shows it, in UTF-8 and without markup.
struct SearchPost {
    uint32_t number = 0;
    std::string date;                // the header's date and time as shown
    std::string name;                // the poster's name as shown
    std::vector<std::string> lines;  // the body's lines; a match never spans two
};

// One thread of the site: where its page is (SITE/board/key.html) and its posts.
struct SearchThread {
    std::string board;
    std::string key;
    std::string title;
    std::vector<SearchPost> posts;
};

// Brings the search index of the site in folder site up to date. The archive makes one per
// run, Puts every thread it converted in that run (new or changed; what the index held of
// such a thread before is replaced) and Commits once its pages are written. Threads not Put
// keep what the index held of them.
class SearchIndexUpdate {
  public:
    explicit SearchIndexUpdate(std::string site);
    ~SearchIndexUpdate();
    SearchIndexUpdate(const SearchIndexUpdate&) = delete;
    SearchIndexUpdate& operator=(const SearchIndexUpdate&) = delete;

    // Called once per converted thread, from one thread at a time.
    void Put(const SearchThread& thread);
    // Writes the index files that changed, each replaced whole. False, with a message in
    // error, when they could not be written.
    bool Commit(std::string& error);

  private:
    struct Run;  // what this run has put so far (SearchIndexUpdate.cpp)
    std::string site_;
    std::unique_ptr<Run> run_;
};

}  // namespace horofu
