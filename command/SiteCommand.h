// horofu --site=SITE SOURCE...: the archive from the command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/SiteWorkers.h"
#include "command/Terminal.h"

namespace horofu {

// Makes the workers a site's threads convert in: at most jobs at once, 0 for one per core.
// The platform's (forked processes on POSIX, threads on Windows).
using MakeSiteWorkers = std::unique_ptr<SiteWorkers> (*)(unsigned jobs);

// Whether the command line asks for a site (an option --site or --site=SITE before any "--").
bool AsksForSite(const std::vector<std::string>& arguments);

// Runs the site command with the whole command line (arguments[0] the program); returns the
// exit status. helpNote, when given, ends --help. Called by the command when AsksForSite.
int RunSiteCommand(const std::vector<std::string>& arguments, Terminal& terminal,
                   MakeSiteWorkers makeWorkers, const char* helpNote);

}  // namespace horofu
