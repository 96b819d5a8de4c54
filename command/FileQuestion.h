// The file question on a terminal: how the horofu command asks for the thread when no file is
// named, in place of the desktop program's open dialog.
#pragma once

#include <string>
#include <vector>

#include "command/Terminal.h"
#include "runtime/Text.h"

namespace horofu {

// Asks on the terminal's standard error for a thread file in folder, reading answers from its
// standard input, until an answer names an
// existing file (returned) or the user cancels with an empty answer or the end of the input,
// Ctrl-D (empty text returned, after a line end, so that the shell's prompt starts a line of
// its own). Shows the title, the folder and its files of the types ("*.txt", any case) when
// there are few. A name without a dot gets .txt, as the dialog adds it; an answer with * or ?
// is a filter, whose matches in its folder are listed before the question comes again; a
// folder becomes the one asked in; a name that does not exist is told and asked again. File
// names are shown with their control bytes made visible. separator is the platform's ('/' or
// '\\'). Called by the horofu command.
Text AskForThreadFile(Terminal& terminal, const Text& folder, const std::vector<std::string>& types,
                      char separator);

}  // namespace horofu
