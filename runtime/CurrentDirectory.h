// The process's current directory, asked of the platform (platform/posix, platform/win32).
#pragma once

#include "runtime/Text.h"

namespace horofu {

// The current directory as the platform reports it, with no separator added (a drive's root
// comes back as C:\ and the POSIX root as /, since that is how the platforms spell them).
// A directory of any length is returned whole. When the platform cannot say (POSIX: the
// directory was removed), the result is "." so that whatever is built on it still means
// "here". Called by the dialog logic when a path names no directory of its own.
Text CurrentDirectory();

}  // namespace horofu
