// The paths start-up works out: the input named on the command line, the extension check and
// the proposed output.
#pragma once

#include <cstdint>

#include "converter/ConvertThreadFile.h"
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

// Whether the path ends in ".dat", ignoring ASCII case: a thread saved in the board's own
// format, which only the modern page reads.
bool IsDatFilePath(const Text& path);

// Whether Horofu.exe takes the path as a thread: it ends in ".txt" or ".dat", in any case.
// Called by start-up before the output is asked for; a path that fails is refused with
// message::kNotTextFile.
bool IsThreadFilePath(const Text& path);

// The output start-up proposes: the input without its last 4 bytes (".txt" or ".dat"), plus
// ".html". Called only for a path that passed IsTextFilePath or IsThreadFilePath.
Text ProposedOutputPath(const Text& inputPath);

// Horofu.exe's dialogs: the open dialog's extension list (text, DAT, both kinds, all files) and
// the save dialog's (the classic page's type, then the modern page's, then all files).
inline constexpr char kOpenDialogTypes[] = "txt;dat";
inline constexpr char kSaveDialogTypes[] = "html;modern";

// The save dialog's type selected at first for the input: 2, the modern page, for a .dat
// thread, which the classic page cannot read; 1, the classic page, for any other. Called by
// start-up before the save dialog.
uint32_t ProposedSaveType(const Text& inputPath);

// The page for the type the user left selected in the save dialog: 1 the classic page, 2 the
// modern one, any other (all files) the page proposed for the input. Called by start-up after
// the save dialog.
PageKind PageKindOfSaveType(uint32_t saveType, const Text& inputPath);

}  // namespace horofu
