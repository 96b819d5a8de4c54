// horofu --site=SITE SOURCE...: the archive from the command line.
#pragma once

namespace horofu {

// Whether the command line asks for a site (an option --site or --site=SITE before any "--").
bool AsksForSite(int argc, char** argv);

// Runs the site command with the whole command line; returns the exit status. Called by main
// when AsksForSite.
int RunSiteCommand(int argc, char** argv);

}  // namespace horofu
