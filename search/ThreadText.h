// A thread's text as the index keeps it (search/tSLOT-GEN.js): each post's number, time,
// date and name as shown, and its lines, which candidates are checked against and snippets
// are cut from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchIndex.h"

namespace horofu {

struct StoredPost {
    uint32_t number = 0;
    int64_t time = 0;  // seconds; see PostTimes
    std::string date;
    std::string name;
    std::string text;  // the lines, joined by '\n'
};

// The time of each post for ordering results, from its date as shown (year/month/day and
// hour:minute:second, two-digit years taken as 20xx); a post whose date says no time gets the
// time of the post before it, so a thread's newest time bounds all its posts.
std::vector<int64_t> PostTimes(const SearchThread& thread);

// The thread's file: horofuSearch.thread(slot, gen, [names], [[time since the post before,
// code points shared with the date before, the rest of the date, text, name's index (when not
// 0, or the number follows), number (when not the one before plus one)]...]);
std::string ThreadScript(const SearchThread& thread, const std::vector<int64_t>& times,
                         uint32_t slot, uint32_t gen);
// A script in whichever of UTF-8 and UTF-16 (little-endian, with a byte-order mark, which
// browsers follow) is smaller: Japanese text takes two bytes a character in UTF-16, three in
// UTF-8. Called for each thread's file.
std::string SmallerEncoding(std::string utf8);
// Reads a thread's file back, in either encoding.
bool ParseThreadScript(std::string_view script, std::vector<StoredPost>& posts);

// A post's lines as stored: joined by '\n', any line break inside a line made a space.
std::string StoredText(const SearchPost& post);

// The grams of a post's stored text, UTF-8, without repeats, sorted: each pair of adjacent
// folded characters within a line, and each folded character. Called once per post indexed.
void PostGrams(std::string_view text, std::vector<std::string>& pairs,
               std::vector<std::string>& characters);

}  // namespace horofu
