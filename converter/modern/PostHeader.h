// Post headers of the modern page: which lines of a thread start a post, and their parts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace horofu {

// What a part of a header holds; Text is what lies between the others (blanks, labels).
enum class HeaderPartKind : uint8_t {
    Text,
    Number,
    Name,
    Trip,
    Cap,  // a capped name: its text and "★"
    Mail,
    Date,
    Id,
    Be,
    Badge,  // the poster's icon address ("sssp://…"), shown and never fetched
    Extra
};

// Whose post it is: a poster's, one the board deleted ("あぼーん" and the like in every
// field), a .dat line too short to be a post, or the board's own message (the 1001st post,
// "Over 1000 Thread", a thread stopped or moved to the past logs). Only posters' IDs count.
enum class PostKind : uint8_t { Poster, Deleted, Broken, Board };

struct HeaderPart {
    HeaderPartKind kind;
    std::string_view text;
};

// A header's parts in order (together, every character of the header) and what the page needs
// of them. The views point into the header's line.
struct PostHeader {
    uint32_t number = 0;
    PostKind kind = PostKind::Poster;
    std::vector<HeaderPart> parts;
    std::string_view idKey;  // the ID without "ID:"; empty when there is none to count

    void Clear() {
        number = 0;
        kind = PostKind::Poster;
        parts.clear();
        idKey = {};
    }
    // The text of the first part of kind, empty when there is none.
    std::string_view Part(HeaderPartKind of) const {
        for (const HeaderPart& part : parts) {
            if (part.kind == of) return part.text;
        }
        return {};
    }
    // Sets kind from the name and date parts (deleted, the board's, or a poster's), and
    // forgets the ID of a post that is not a poster's; dated: the date part is a date. Called
    // once the parts are in.
    void Classify(bool dated);
};

// Whether line is a post header, and its parts: a post number above previous (ASCII or
// full-width digits), a blank or colon, "名前：" or not, a name (with its trip code and mail),
// a date with year, month, day and time, and tails such as ID and BE. With "名前：" the time
// may be missing, and "投稿日" may be followed by anything up to the tails (a deleted post's
// date says so). A line without labels or date that holds a phrase of the board's posts
// ("1001 １００１ Over 1000 Thread", "停止しました", "[過去ログ]") is the board's post.
// Whether the number fits the thread's sequence is the caller's question. Called for every line of
// a plain thread by both passes of the modern page.
bool ParseHeader(std::string_view line, uint32_t previous, PostHeader& header);

// Adds the parts of a name field: the name, a trip code (from "◆") and, when mailInName (a
// text copy's "名無し [sage]"; a .dat has a field of its own for the mail), a mail in brackets
// at its end. Called by ParseHeader and for .dat names.
void AddNameParts(std::string_view name, PostHeader& header, bool mailInName = true);

// Adds the parts of what follows a date: blanks, then "ID:…", "BE:…" or other tails.
void AddTailParts(std::string_view tail, PostHeader& header);

// Where the tails ("ID:", "BE:", "HOST:", "発信元:") start in a date field from at on,
// with the blanks before them; the field's size when it has none. Everything before is the
// date, whatever its form ("NY:AN:NY.AN", "??:??:??", an era's name). Called by ParseHeader
// and ParseDatLine.
std::size_t DateTailStart(std::string_view field, std::size_t at);

// The length of the date and time starting date ("2024/09/10(火) 07:22:22.16", "05/01/28
// 12:00", "2013/04/01(月) NY:AN:NY.AN", "平成25年04月01日(月) 12:00:00"); 0 when it does
// not start one. The time may be left
// out when timeOptional.
std::size_t DateLength(std::string_view date, bool timeOptional);

// The CSS class of a part's element; null for Text.
const char* PartClass(HeaderPartKind kind);

}  // namespace horofu
