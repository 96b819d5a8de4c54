// The file a page is written into on POSIX systems before it takes its place, and what the
// page's place shares with it.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "runtime/PlatformFile.h"

namespace horofu {

// A new page file for the page name in folder (a descriptor, which the page file takes over
// and closes): unnamed where allowed and possible, else named. old, when given, is the page
// there now, which lends the new one its permissions. Null with the reason in *systemError
// (folder closed). Called by the page's place.
std::unique_ptr<PendingPage> CreatePendingPage(int folder, const std::string& name,
                                               const struct stat* old, bool unnamed,
                                               int* systemError);

// Whether /proc/self/fd is there to name an open file, and that name for fd.
bool CanNameOpenFiles();
std::string OpenFileName(int fd);

// Whether two looks found one file.
bool SameFile(const struct stat& a, const struct stat& b);

}  // namespace horofu
