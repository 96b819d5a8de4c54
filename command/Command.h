// The horofu command: what it does with its command line, the same on every system. The
// platform's main hands it the arguments and what it needs of the system.
#pragma once

#include <string>
#include <vector>

#include "app/ConversionStop.h"
#include "command/SiteCommand.h"
#include "command/Terminal.h"

namespace horofu {

struct CommandPlatform {
    Terminal& terminal;
    MakeSiteWorkers makeWorkers;
    // Where the platform stops a running conversion from another thread (Ctrl-C on Windows),
    // so that its page file is removed; null where signals do that (POSIX).
    ConversionStop* stop = nullptr;
    // What --help adds at its end: where an option means something else on this system.
    const char* helpNote = nullptr;
    char separator = '/';  // the folder separator file names are typed with
};

// Runs the whole command line (arguments[0] the program, the rest in the program's text):
// a conversion, or the site or search command. Returns the exit status. Called by main once.
int RunHorofuCommand(const std::vector<std::string>& arguments, CommandPlatform& platform);

}  // namespace horofu
