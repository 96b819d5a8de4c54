// The site's index pages: one for the whole site, one per board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/SiteThread.h"

namespace horofu {

// The page of one board, made a row at a time so that a large board is never held whole: its
// head, a row for each thread (the caller gives them newest last post first; threads of one
// instant by key), and its end.
std::string BoardIndexHead(const std::string& board);
void AppendBoardRow(std::string& page, const SiteThread& thread);
std::string_view BoardIndexEnd();

// What the site's page shows of a board: its counts and its latest post.
struct BoardSummary {
    std::string name;
    uint64_t threads = 0, posts = 0;
    int64_t lastInstant = 0;
    std::string lastDate;
};

// How many of the most recently active threads the site's page shows.
inline constexpr std::size_t kRecentThreads = 50;

// The site's page: every board (in name order) with its counts and latest post, then recent,
// the most recently active threads of all boards, newest first.
std::string SiteIndexPage(const std::vector<BoardSummary>& boards,
                          const std::vector<SiteThread>& recent);

// A part of a series as a navigation line names it.
struct SeriesPart {
    std::string_view board, key, title;
};

// The navigation line of a thread's page in board: the site, the board, and the parts of its
// series before and after it (null when there is none).
std::string NavigationLine(std::string_view board, const SeriesPart* previous,
                           const SeriesPart* next);

}  // namespace horofu
