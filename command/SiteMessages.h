// The site command's texts in English, which it shows in the locale's language (po/ja.po).
#pragma once

#include "app/Messages.h"

namespace horofu::message::site {

using command::Translatable;
using command::TranslatablePlural;

inline constexpr const char* kUsage =
    Translatable("Usage: horofu --site=SITE [OPTION]... SOURCE...\n");
inline constexpr const char* kHelp = Translatable(
    "Build the folder SITE into a site of the threads (.dat and .txt files) found in each\n"
    "SOURCE (folders, searched with their subfolders, or thread files), or bring it up to date:\n"
    "an index of boards and recent threads, an index per board, and a modern page per thread\n"
    "linked to its board, the site and the parts of its series before and after it.\n"
    "Addresses of threads in the site become links to their pages. A re-run converts only the\n"
    "threads whose files changed and the pages whose links changed.\n"
    "\n"
    "  -q, --quiet        no progress bar and no summary\n"
    "  -j, --jobs=N       convert N threads at once (default: one per core)\n"
    "      --ng=FILE      leave out of every page and of the search the posts FILE's lines\n"
    "                     match (as 'horofu --help' says); pages made with other rules\n"
    "                     are made again\n"
    "      --ng-mode=hide|mark, --ng-chain  as for a page\n"
    "  -h, --help         show this help and exit\n"
    "\n"
    "Exit status: 0 if the site is complete, 1 if any source or page failed, 2 on a usage\n"
    "error or a refused site, 128+N when signal N ended the run.\n");
inline constexpr const char* kNeedsSource = Translatable("--site needs at least one SOURCE");
inline constexpr const char* kBadJobs = Translatable("--jobs needs a number from 1 to 64");

// What went wrong, shown after "horofu: PATH: ".
inline constexpr const char* kSourceMissing = Translatable("no such file or folder.");
inline constexpr const char* kSourceUnreadable = Translatable("could not be read; left out.");
inline constexpr const char* kBadName =
    Translatable("this name cannot name a board or page in a site; left out.");
inline constexpr const char* kConversionFailed =
    Translatable("its page could not be made; the old page stays.");
inline constexpr const char* kFileNotWritten = Translatable("could not be written.");
inline constexpr const char* kSiteInSource =
    Translatable("the site would be inside this source; choose a site folder outside it.");
inline constexpr const char* kSourceInSite =
    Translatable("this source is inside the site; choose a site folder outside it.");
inline constexpr const char* kSiteNotCreated = Translatable("the site folder could not be made.");
inline constexpr const char* kSiteLocked =
    Translatable("another horofu is updating this site; try again when it has finished.");
inline constexpr const char* kSearchNotWritten =
    Translatable("the search index could not be written.");

// The summary: "SITE: 120 threads, 3 pages written (1 for changed links), 2 sources gone".
inline constexpr const char* kSummary = Translatable("%s: %s, %s (%s), %s");
inline constexpr command::Plural kThreads = TranslatablePlural("%llu thread", "%llu threads");
inline constexpr command::Plural kPagesWritten =
    TranslatablePlural("%llu page written", "%llu pages written");
inline constexpr command::Plural kRelinked =
    TranslatablePlural("%llu for changed links", "%llu for changed links");
inline constexpr command::Plural kGone =
    TranslatablePlural("%llu source gone", "%llu sources gone");

}  // namespace horofu::message::site
