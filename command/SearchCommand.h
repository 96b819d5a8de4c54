// horofu --search=SITE TEXT: the archive's search from the terminal.
#pragma once

#include <string>
#include <vector>

#include "command/Terminal.h"

namespace horofu {

// Whether the command line asks for a search (an argument --search or --search=SITE before
// any "--"). Called by the command before the conversion's options are read.
bool IsSearchCommand(const std::vector<std::string>& arguments);

// Runs the search the command line asks for: prints the newest 100 posts that hold the text
// (every one with --all), newest first, and the total on standard error. Returns the exit
// status: 0 when something was found, 1 when nothing was, 2 on a usage error or an index that
// cannot be read.
int RunSearchCommand(const std::vector<std::string>& arguments, Terminal& terminal);

}  // namespace horofu
