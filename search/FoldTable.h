// The tables search folds text with, generated from Unicode data by tools/gen-search-fold.
#pragma once

#include <cstddef>
#include <cstdint>

namespace horofu {

// A character that folds to something else: count characters of kFoldPool from at.
struct FoldMapping {
    char32_t from;
    uint32_t at;
    uint32_t count;
};

// Two folded characters that compose into one (カ and a voiced mark into ガ).
struct FoldPair {
    char32_t first;
    char32_t second;
    char32_t composed;
};

// Both sorted by their first members.
extern const FoldMapping kFoldMappings[];
extern const std::size_t kFoldMappingCount;
extern const char32_t kFoldPool[];
extern const FoldPair kFoldPairs[];
extern const std::size_t kFoldPairCount;

}  // namespace horofu
