// Post headers of the modern page: which lines of a thread start a post, and their parts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace horofu {

// What a part of a header holds; Text is what lies between the others (blanks, labels).
enum class HeaderPartKind : uint8_t { Text, Number, Name, Trip, Mail, Date, Id, Be, Extra };

struct HeaderPart {
    HeaderPartKind kind;
    std::string_view text;
};

// A header's parts in order (together, every character of the header) and what the page needs
// of them. The views point into the header's line.
struct PostHeader {
    uint32_t number = 0;
    std::vector<HeaderPart> parts;
    std::string_view idKey;  // the ID without "ID:"; empty when there is none to count

    void Clear() {
        number = 0;
        parts.clear();
        idKey = {};
    }
};

// Whether line is a post header, and its parts: a post number above previous, a blank or
// colon, "名前：" or not, a name (with its trip code and mail), a date with year, month, day
// and time, and tails such as ID and BE. With "名前：" the time may be missing, and
// "投稿日" may be followed by anything (a deleted post's date says so). Called for every line
// of a plain thread by both passes of the modern page.
bool ParseHeader(std::string_view line, uint32_t previous, PostHeader& header);

// Adds the parts of a name field: the name, a trip code (from "◆") and a mail in brackets at
// its end. Called by ParseHeader and for .dat names.
void AddNameParts(std::string_view name, PostHeader& header);

// Adds the parts of what follows a date: blanks, then "ID:…", "BE:…" or other tails.
void AddTailParts(std::string_view tail, PostHeader& header);

// The length of the date and time starting date ("2024/09/10(火) 07:22:22.16", "05/01/28
// 12:00"); 0 when it does not start one. The time may be left out when timeOptional.
std::size_t DateLength(std::string_view date, bool timeOptional);

// The CSS class of a part's element; null for Text.
const char* PartClass(HeaderPartKind kind);

}  // namespace horofu
