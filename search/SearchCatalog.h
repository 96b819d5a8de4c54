// What the search index holds, as its catalog file (search/catalog.js) records it: each
// thread's place and the segments of character-pair lists, and how the files are named.
//
// A segment is what one run of the update wrote (or merged): its threads are its ranges, and
// its posts are numbered by ordinal, thread after thread. A range whose thread has since been
// put into a newer segment is stale, and its ordinals are skipped until a merge drops them.
// A segment keeps, in gram files (its bucket count of them, chosen by the gram's hash):
//  - for each pair of adjacent folded characters of a line, the ordinals of the posts that
//    hold it;
//  - for each folded character, the ranges whose thread holds it and in how many posts.
//    A one-character search reads those threads whole.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace horofu {

// The most gram files a segment has; a segment has about one for each 500 posts.
inline constexpr uint32_t kMostBuckets = 4096;
uint32_t BucketsFor(uint64_t posts);

// One thread of the catalog. Taken from CatalogThreads, its texts are views into the table,
// good until the table next changes.
struct CatalogThread {
    uint32_t gen = 0;      // the run that wrote its text file
    uint32_t segment = 0;  // the segment whose lists hold its posts
    int64_t lastTime = 0;  // its newest post's time, seconds
    uint32_t posts = 0;
    std::string_view board, key, title;
};

// The catalog's threads by slot: a row of numbers each, the keys and titles packed in large
// blocks and each board kept once, so that a site of a hundred thousand threads takes a few
// megabytes and growing never copies what is held.
class CatalogThreads {
  public:
    CatalogThreads() = default;
    // Not copied: the board index views the table's own strings. A move keeps them in place.
    CatalogThreads(const CatalogThreads&) = delete;
    CatalogThreads& operator=(const CatalogThreads&) = delete;
    CatalogThreads(CatalogThreads&&) = default;
    CatalogThreads& operator=(CatalogThreads&&) = default;

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    CatalogThread operator[](std::size_t slot) const;
    void Add(const CatalogThread& thread);  // a new slot at the end
    void Set(std::size_t slot, const CatalogThread& thread);
    void Clear();

    // The fields read for every thread of a search or an update, without decoding the texts.
    uint32_t Gen(std::size_t slot) const { return rows_[slot].gen; }
    uint32_t Segment(std::size_t slot) const { return rows_[slot].segment; }
    void SetSegment(std::size_t slot, uint32_t segment) { rows_[slot].segment = segment; }
    int64_t LastTime(std::size_t slot) const { return rows_[slot].lastTime; }
    uint32_t Posts(std::size_t slot) const { return rows_[slot].posts; }
    std::string_view Board(std::size_t slot) const { return boards_[rows_[slot].board]; }
    std::string_view Key(std::size_t slot) const;

  private:
    struct Row {
        uint32_t gen = 0, segment = 0;
        int64_t lastTime = 0;
        uint32_t posts = 0;
        uint32_t board = 0;                 // in boards_
        uint32_t block = kNoBlock, at = 0;  // the key's and title's lengths and bytes
    };
    static constexpr uint32_t kNoBlock = UINT32_MAX;  // a row just added
    uint32_t BoardNumber(std::string_view board);
    void SetTexts(Row& row, std::string_view key, std::string_view title);

    std::deque<Row> rows_;
    std::deque<std::string> boards_;  // a deque: the index below views its strings
    std::unordered_map<std::string_view, uint32_t> boardNumbers_;
    std::vector<std::string> blocks_;  // each filled no further than its first capacity
};

struct CatalogRange {
    int64_t slot = -1;  // -1: a thread put twice in one run, its first copy
    uint32_t posts = 0;
};

struct CatalogSegment {
    uint32_t id = 0;
    uint32_t buckets = 1;  // a power of two
    std::vector<CatalogRange> ranges;
    uint32_t Posts() const;
};

struct SearchCatalog {
    uint32_t next = 0;  // the id of the next run
    std::vector<CatalogSegment> segments;
    CatalogThreads threads;

    std::string Script() const;
    // The same bytes a piece at a time (a thread a piece), for a catalog too large to hold
    // twice.
    void Script(const std::function<void(std::string_view)>& put) const;
    // False when the text is not a catalog this program wrote.
    bool Parse(std::string_view script);
    // Whether the range of a segment belongs to the thread there now.
    bool Live(const CatalogSegment& segment, const CatalogRange& range) const;
};

// Reads a catalog a line at a time (as its file is written: the segments on the first line, a
// thread a line), so that a large site's catalog file is never held whole.
class CatalogReader {
  public:
    explicit CatalogReader(SearchCatalog& catalog) : catalog_(catalog) {}
    // False once the lines so far are not a catalog.
    bool Line(std::string_view line);
    // Whether the lines were a whole catalog.
    bool Done() const { return done_ && !failed_; }

  private:
    SearchCatalog& catalog_;
    bool started_ = false, done_ = false, failed_ = false;
};

// Which of a segment's threads an ordinal falls in: the slot, the post's index in the thread,
// or a slot of -1 for a stale range.
struct OrdinalPlace {
    int64_t slot;
    uint32_t index;
};
class OrdinalMap {
  public:
    OrdinalMap(const SearchCatalog& catalog, const CatalogSegment& segment);
    OrdinalPlace Find(uint32_t ordinal) const;
    // Calls f(slot, index) for each of ascending ordinals, walking the ranges once.
    template <class F>
    void Walk(const std::vector<uint32_t>& ordinals, F f) const {
        std::size_t r = 0;
        for (uint32_t o : ordinals) {
            while (r + 1 < starts_.size() && starts_[r + 1] <= o) ++r;
            f(slots_[r], o - starts_[r]);
        }
    }
    int64_t RangeSlot(uint32_t range) const { return range < ranges_ ? slots_[range] : -1; }

  private:
    std::vector<uint32_t> starts_;
    std::vector<int64_t> slots_;
    uint32_t ranges_ = 0;
};

// A hash of a gram's UTF-8 bytes (FNV-1a, as the page's script computes it); its bucket in a
// segment of n buckets is the hash modulo n.
uint32_t GramHash(std::string_view utf8Gram);
std::string ThreadFileName(uint32_t slot, uint32_t gen);
std::string GramFileName(uint32_t segment, uint32_t bucket);
inline constexpr const char* kCatalogFileName = "catalog.js";
inline constexpr const char* kFoldFileName = "fold.js";
std::string IndexFolder(const std::string& site);  // site/search

}  // namespace horofu
