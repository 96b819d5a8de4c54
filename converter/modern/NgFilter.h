// The posts a user wants gone from a page meant to be shared (trolls, spam): rules read from
// an NG file, one a line: "id:VALUE", "name:TEXT", "word:TEXT", "re:PATTERN".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "converter/modern/PostHeader.h"
#include "converter/modern/WordSearch.h"

namespace horofu {

enum class NgMode { Hide, Mark };  // a filtered post is left out, or kept as its number

class NgFilter {
  public:
    // Reads the rules of an NG file (its encoding found as a thread's is; lines end in CR LF,
    // LF or CR; lines of blanks and lines starting with '#' are skipped). False for a bad line:
    // line is its number (from 1) and reason says what is wrong, in English. Called by the front
    // ends once per run.
    bool Parse(std::string_view file, std::size_t& line, std::string& reason);

    // Whether a post's header says it is filtered: its ID is one of the IDs, or its name
    // (with trip and cap, as the page shows it) holds one of the words or matches a pattern,
    // or holds one of the names whatever blanks stand between its parts. Called by the
    // modern page's first reading for each header.
    bool MatchesHeader(const PostHeader& header) const;
    // Whether a body line holds one of the words or matches a pattern (a pattern's "." and
    // classes are about characters). A pattern's search looks at each character a bounded
    // number of times on average; one that would look longer (backtracking through every way
    // to split the text) ends as not matching, and sets *undecided when it is given. Called by
    // the first reading for each line of a post not yet filtered.
    bool MatchesLine(std::string_view line, bool* undecided = nullptr) const;
    // MatchesLine for a line of megabytes that comes in pieces: whether the piece holds a word
    // or matches a pattern, found also where one starts in the pieces before. carry is the
    // end of those, which this keeps: empty for a line's first piece, and again once the last
    // (lineEnds) is looked at. Called by the first reading for each such piece.
    bool MatchesPiece(std::string_view piece, bool lineEnds, std::string& carry,
                      bool* undecided = nullptr) const;
    bool Empty() const { return ids_.empty() && words_.Empty() && res_.empty(); }
    // A hash of the rules, the mode and chain: pages made with another one are made again.
    // Called by the archive for each page of a site.
    uint64_t Fingerprint() const;

    NgMode mode = NgMode::Hide;
    bool chain = false;  // a post replying to a filtered one is filtered too

  private:
    // Whether text holds a word or matches a pattern; its start and end are a line's or not.
    bool Matches(std::string_view text, bool lineStarts, bool lineEnds, bool* undecided) const;
    // Text as words and names are looked for in it: folded as the site's search folds (width,
    // case, compatibility forms, characters that show nothing), so that a word is found however
    // wide or in whatever case it is written ("ｽﾊﾟﾑ" and "スパム", "ＵＲＬ" and "url"). Text
    // in which nothing folds is itself; else the fold is put in buffer.
    std::string_view Folded(std::string_view text, std::string& buffer) const;
    void MarkFolding();

    std::vector<std::string> ids_;   // sorted, once parsed
    WordSearch words_;               // words (kWord) and names (kName)
    std::vector<std::wregex> res_;   // matched against wide characters
    uint64_t rulesHash_ = 0;         // of the file's text, once parsed
    std::size_t longestWord_ = 0;    // folded, in bytes
    std::vector<uint64_t> folding_;  // a bit for each character of the first plane that folds
};

// Why a pattern may not be used, or null when it may: a pattern whose matching could take
// time beyond any bound (a repeated group that itself repeats or has alternatives, as in
// "(a+)+" or "(a|aa)*"; a back-reference; more than two unbounded repeats) is refused, so
// that no thread can stall the conversion. Called by NgFilter::Parse.
const char* RefusedPattern(std::string_view pattern);

}  // namespace horofu
