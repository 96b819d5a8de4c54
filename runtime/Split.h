// Case-insensitive searching and the two stateful splits that the line parsing rests on.
#pragma once

#include <cstdint>

#include "runtime/Text.h"

namespace horofu {

// A separator prepared once for many case-insensitive searches, as the converter's marks are.
class Separator {
  public:
    explicit Separator(const Text& sep);
    const Text& Folded() const { return folded_; }
    std::size_t Size() const { return folded_.Size(); }

  private:
    Text folded_;
};

// Number of case-insensitive occurrences of p in t, overlapping ones included.
int32_t CountOccurrences(const Text& t, const Text& p);

// Finds the first case-insensitive occurrence of sep in t. On success (1) the first-split
// state holds the bytes before it and the bytes after it; on failure (0) only its flag drops.
int SplitFirst(const Text& t, const Text& sep);
int SplitFirst(const Text& t, const Separator& sep);

// The parts of the last successful SplitFirst, or empty text when the last one failed.
// The reference stays valid until the next SplitFirst.
const Text& FirstLeft();
const Text& FirstRight();

// Backward search that starts one position short of the end: an occurrence that ends at the
// last byte of t is never found, and one at the first byte never counts as success. So both
// parts of a successful SplitLast are non-empty.
int SplitLast(const Text& t, const Text& sep);
int SplitLast(const Text& t, const Separator& sep);

const Text& LastLeft();
const Text& LastRight();

}  // namespace horofu
