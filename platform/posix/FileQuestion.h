// The file question on a terminal: how the horofu command asks for the thread when no file is
// named, in place of the desktop program's open dialog.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/posix/TerminalText.h"
#include "runtime/Text.h"

namespace horofu {

// Asks on out for a thread file in folder, reading answers from in, until an answer names an
// existing file (returned) or the user cancels with an empty answer or the end of the input,
// Ctrl-D (empty text returned, after a line end, so that the shell's prompt starts a line of
// its own). Shows the title, the folder and its files of the types ("*.txt", any case) when
// there are few. A name without a dot gets .txt, as the dialog adds it; an answer with * or ?
// is a filter, whose matches in its folder are listed before the question comes again; a
// folder becomes the one asked in; a name that does not exist is told and asked again. text
// shows file names safely. Called by the horofu command.
Text AskForThreadFile(std::FILE* in, std::FILE* out, const Text& folder,
                      const std::vector<std::string>& types, TerminalText& text);

}  // namespace horofu
