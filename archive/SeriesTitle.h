// Parts of a series told apart by their titles: "Part12" and "Part13" of one title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace horofu {

// A title made comparable: full-width letters, digits and signs as their ASCII forms and the
// ideographic space as a space (what NFKC does to the characters titles use).
std::string NormalizedTitle(std::string_view title);

// One way to read a title as a part of a series: the title with one of its numbers taken out
// (the other numbers without leading zeros), and that number.
struct SeriesReading {
    std::string shape;
    uint64_t part;
};

// Every reading of title, one per number in it, the last number first. Called by the archive
// for each thread when it chains the parts of series.
std::vector<SeriesReading> SeriesReadings(std::string_view title);

}  // namespace horofu
