// Building a site of threads, or bringing it up to date: which threads to convert, their
// pages, the index pages, the shared files and the record of what was built.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "archive/SiteWorkers.h"

namespace horofu {

class NgFilter;

// What a run could not do; each is told with the path it concerns.
enum class SiteProblem {
    SourceMissing,     // a source named on the command line is not there
    SourceUnreadable,  // a source folder or thread file could not be read: left out
    BadName,           // a folder or file name cannot name a board or page: left out
    NotThread,         // a file named as a source is not a .dat or .txt thread
    ConversionFailed,  // a thread's page could not be made: the old page stays
    FileNotWritten,    // an index page, the stylesheet or the record could not be written
    SiteInSource,      // the site is inside a source, or the same folder
    SourceInSite,      // a source is inside the site
    SiteNotCreated,    // the site's folder could not be made
    SiteLocked,        // another run holds the site
    SearchNotWritten,  // the search index could not be brought up to date
};

class SiteListener {
  public:
    virtual ~SiteListener() = default;
    virtual void Problem(const std::string& /*path*/, SiteProblem, int /*systemError*/) {}
    // A thread's conversion starts (name: its board and key). Called in the worker, which may
    // be a thread of its own, several at once; the other calls come from BuildSite's thread.
    virtual void Converting(const std::string& /*name*/) {}
    // Threads converted so far, of all to convert in this run.
    virtual void Progress(std::size_t /*done*/, std::size_t /*total*/) {}
};

struct SiteSummary {
    int status = 0;                // 0 all done, 1 something failed, 2 refused before starting
    std::size_t threads = 0;       // threads the site holds
    std::size_t converted = 0;     // pages written in this run
    std::size_t relinked = 0;      // of them, pages of unchanged threads whose links changed
    std::size_t gone = 0;          // threads whose source is gone
    std::size_t filesWritten = 0;  // index pages and shared files written
    uint64_t ngUndecided = 0;      // posts kept where an NG pattern gave up searching a line
};

// Builds or updates the site in folder site from the threads in sources, leaving out of every
// page and of the search the posts ng filters (none when null): a page made with other rules
// is made again. Called by the front ends' site command.
SiteSummary BuildSite(const std::string& site, const std::vector<std::string>& sources,
                      SiteWorkers& workers, SiteListener& listener,
                      std::shared_ptr<const NgFilter> ng = nullptr);

}  // namespace horofu
