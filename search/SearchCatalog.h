// What the search index holds, as its catalog file (search/catalog.js) records it: each
// thread's place and the segments of character-pair lists, and how the files are named.
//
// A segment is what one run of the update wrote (or merged): its posts are numbered by
// ordinal, thread after thread, in the order of its ranges. A range whose thread has since
// been put into a newer segment is stale, and its ordinals are skipped until a merge drops
// them. A gram is two adjacent folded characters of a line, or a line's last character and
// '\n'; its list is kept in one of kGramBuckets files per segment, chosen by the hash of its
// first character, so that every gram a character starts is in one file: the posts holding
// one character are the union of their lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace horofu {

inline constexpr uint32_t kGramBuckets = 256;

struct CatalogThread {
    uint32_t gen = 0;      // the run that wrote its text file
    uint32_t segment = 0;  // the segment whose lists hold its posts
    int64_t lastTime = 0;  // its newest post's time, seconds
    uint32_t posts = 0;
    std::string board, key, title;
};

struct CatalogRange {
    int64_t slot = -1;  // -1: a thread put twice in one run, its first copy
    uint32_t posts = 0;
};

struct CatalogSegment {
    uint32_t id = 0;
    std::vector<CatalogRange> ranges;
    uint32_t Posts() const;
};

struct SearchCatalog {
    uint32_t next = 0;  // the id of the next run
    std::vector<CatalogSegment> segments;
    std::vector<CatalogThread> threads;  // by slot

    std::string Script() const;
    // False when the text is not a catalog this program wrote.
    bool Parse(std::string_view script);
    // Whether the range of a segment belongs to the thread there now.
    bool Live(const CatalogSegment& segment, const CatalogRange& range) const;
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

  private:
    std::vector<uint32_t> starts_;
    std::vector<int64_t> slots_;
};

// The bucket of a gram, or of a character (all grams it starts share it).
uint32_t GramBucket(std::string_view utf8Gram);
std::string ThreadFileName(uint32_t slot, uint32_t gen);
std::string GramFileName(uint32_t segment, uint32_t bucket);
inline constexpr const char* kCatalogFileName = "catalog.js";
inline constexpr const char* kFoldFileName = "fold.js";
std::string IndexFolder(const std::string& site);  // site/search

}  // namespace horofu
