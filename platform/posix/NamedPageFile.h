// The named kind of page file, which POSIX page files fall back on where a file system has no
// unnamed files (O_TMPFILE).
#pragma once

#include <memory>

#include "runtime/PlatformFile.h"

namespace horofu {

// As CreatePageBeside, but always a file with a short hidden name of its own, removed when a
// signal ends the program. Called by tests, since the machines they run on have unnamed files.
std::unique_ptr<PendingPage> CreateNamedPageBeside(const Text& target, int* systemError = nullptr);

}  // namespace horofu
