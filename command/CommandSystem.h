// What the horofu command asks of the system besides its terminal and the page's place: a
// few looks at files, the file question's listing, and the system's reasons in words.
// Implemented once per platform (CommandSystem_posix, CommandSystem_win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Text.h"

namespace horofu {

// The name standard input is opened by as a thread (/dev/stdin), so that it is compared with
// the page's place like any named thread; empty where there is none, and the command opens
// it with OpenStandardInput.
Text StandardInputName();

// Whether standard output is the very file the thread at input (StandardInputName for
// standard input) is read from, which would grow without end (horofu -o - a.txt >> a.txt).
bool StandardOutputIsInput(const Text& input);

// The size of the file at path; 0 when it cannot be looked at. Called for the hint that a
// modern page was likely read in the wrong encoding.
uint64_t FileSizeAt(const Text& path);

bool IsFolder(const Text& path);
bool PathExists(const Text& path);

// The names of the files (not folders) in folder whose names match one of the patterns
// ("*.txt": * and ? as the shell has them) in any case, hidden ones left out, in byte order.
// Called by the file question.
std::vector<std::string> MatchingFiles(const Text& folder,
                                       const std::vector<std::string>& patterns);

// The system's reason for error (errno, GetLastError) in the program's text.
std::string SystemReason(int error);
// Whether error means that another program holds the file.
bool IsFileInUse(int error);
// Whether error, on opening a pipe as the page's place, means that nobody reads it.
bool IsNoReader(int error);

}  // namespace horofu
