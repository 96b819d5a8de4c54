// The paths start-up works out: the input named on the command line, the extension check and
// the proposed output.
#pragma once

#include "runtime/Text.h"

namespace horofu {

// The text after the program's own path on a command line, blanks (space, tab) around it
// dropped. The program's path is the first argument as the platform reads it: a quoted path
// up to its closing quote, otherwise everything up to the first blank, so the program may have
// any name and any folder. Quotes around the argument are kept (InputPath removes them).
// Called by start-up with GetCommandLineA's text.
Text InputCandidate(const Text& commandLine);

// Whether the candidate names no input, so that the open dialog is to ask for it: it is
// shorter than 5 bytes (no path of a .txt file is: x.txt has 5). Called by start-up right
// after InputCandidate.
bool AsksForInput(const Text& candidate);

// The candidate with its quotes removed: a first byte that is a double quote is dropped, and
// so is a last byte that is one. Spaces inside stay. Called by start-up on a candidate that
// does not ask for input.
Text InputPath(const Text& candidate);

// Whether the path ends in ".txt", ignoring ASCII case (.TXT and .Txt pass). A path of fewer
// than 4 bytes fails. Called by start-up before the output is asked for; a path that fails
// is refused with message::kNotTextFile.
bool IsTextFilePath(const Text& path);

// The output start-up proposes: the input without its last 4 bytes (".txt"), plus ".html".
// Called only for a path that passed IsTextFilePath.
Text ProposedOutputPath(const Text& inputPath);

}  // namespace horofu
