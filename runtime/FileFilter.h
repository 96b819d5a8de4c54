// The file-type filter a file dialog offers: which entries, in which order, as one text.
#pragma once

#include <vector>

#include "runtime/Text.h"

namespace horofu {

// The filter text for an extension list and the initial path's extension (PathExtension).
// The list offers an entry when it contains the entry's keys anywhere, ignoring ASCII case:
// "htm" the HTML entry, "modern" the modern HTML page's entry, "exe" the executable entry,
// "txt" the text entry, "dat" the DAT entry, and "txt" with "dat" the entry for both kinds of
// thread. The entry whose extension equals the given one exactly (case-sensitive: "TXT" is
// not "txt"; htm and html for HTML, dat for DAT) comes first, then the other offered ones in
// the order text, DAT, both kinds, executable, HTML, modern HTML, then all files. Each entry
// is its display text, a zero byte, its pattern, a zero byte; one more zero byte ends the
// text. Called when a dialog request is built.
Text FilterText(const Text& extensions, const Text& extension);

// One entry of a filter text.
struct FilterEntry {
    Text display;  // e.g. TEXTファイル(*.txt)
    Text pattern;  // e.g. *.txt
};

// The entries of a filter text, in order; the reading stops at the closing zero byte.
// Called where the choice is shown without the platform's dialog (the terminal).
std::vector<FilterEntry> FilterEntries(const Text& filter);

}  // namespace horofu
