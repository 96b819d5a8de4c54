// The parts of a path the file dialogs start from: its extension and its directory.
#pragma once

#include "runtime/Text.h"

namespace horofu {

// Path separators: Windows paths (the dialogs of Horofu.exe) and POSIX paths (the horofu
// command's terminal file choice).
inline constexpr char kWindowsSeparator = '\\';
inline constexpr char kPosixSeparator = '/';

// The bytes after the last dot, found by SplitLast (so a dot at the first or the last byte
// does not count), or "*" when there is none. Replaces the last-split state. Called when a
// dialog request is built, for the filter order and the default extension.
Text PathExtension(const Text& path);

// The directory a dialog starts in, ending in the separator: the bytes before the last
// separator plus the separator, or the current directory plus the separator when the path
// has none. The search keeps SplitLast's range: a separator at the path's last byte is
// passed over (the one before it counts), and one at its first byte never counts, so
// \thread.html and thread.html both start in the current directory. A Windows backslash that
// is the second byte of a double-byte character (ソ is 83 5C) is part of that character and
// never a separator. The last-split state is left alone. Horofu.exe's dialogs call it with
// CurrentDirectory() and kWindowsSeparator, the horofu command with kPosixSeparator.
Text PathDirectory(const Text& path, const Text& currentDirectory, char separator);

// The bytes after the last separator that is a character of its own; the whole path when it
// has none, empty text when it ends in one. Called by the terminal file choice to see whether a
// typed name has an extension.
Text PathFileName(const Text& path, char separator);

// directory followed by the separator, unless it already ends in one (a drive's root C:\,
// the POSIX root /), so that the root does not get a second one. Called for the current
// directory wherever a dialog path is built from it.
Text DirectoryWithSeparator(const Text& directory, char separator);

}  // namespace horofu
