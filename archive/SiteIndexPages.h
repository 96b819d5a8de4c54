// The site's index pages: one for the whole site, one per board.
#pragma once

#include <string>
#include <vector>

#include "archive/SiteThread.h"

namespace horofu {

// The page of one board: its threads, newest last post first. threads are the board's.
std::string BoardIndexPage(const std::string& board, std::vector<const SiteThread*> threads);

// The site's page: every board with its counts and latest post, then the most recently active
// threads of all boards.
std::string SiteIndexPage(const std::vector<const SiteThread*>& threads);

// The navigation line of a thread's page: the site, the board, and the parts of its series
// before and after it (null when there is none).
std::string NavigationLine(const SiteThread& thread, const SiteThread* previous,
                           const SiteThread* next);

}  // namespace horofu
