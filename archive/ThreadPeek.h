// A look at a thread's first bytes before it is converted: its title and the thread its first
// posts name as the previous part, which the series of the whole site are chained from.
#pragma once

#include <cstdint>
#include <string>

namespace horofu {

struct ThreadPeek {
    bool read = false;     // false: the file could not be opened or read
    int systemError = 0;   // the platform's reason then
    std::string title;     // the title its page will have, in UTF-8
    std::string previous;  // "board/key" of the address after "前スレ" in its first posts
    uint64_t head = 0;     // a hash of its first bytes (up to 4 KiB)
    uint64_t posts = 0;    // a .dat's posts (its lines that are not empty); 0 for a text
};

// Reads the first bytes of the thread at path (whose file name is fileName), and counts the
// lines of a .dat. Called by the archive for each thread it is about to convert, so that links
// to the last posts of a thread converted in the same run are right on the first writing.
ThreadPeek PeekThread(const std::string& path, const std::string& fileName);

// The hash of bytes the record keeps of a source's head.
uint64_t HeadHash(std::string_view bytes);

}  // namespace horofu
