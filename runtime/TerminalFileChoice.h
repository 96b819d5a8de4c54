// The file choice on a terminal, for a platform without file dialogs (the horofu command): what
// to show for a dialog request, and the path a typed answer names.
#pragma once

#include <vector>

#include "runtime/FileDialogRequest.h"
#include "runtime/Text.h"

namespace horofu {

// One line to show. The text is Shift-JIS, to be converted for the terminal; the path (often
// empty) is in the file system's own bytes and is written unchanged right after the text.
struct PromptLine {
    Text text;
    Text path;
};

// What the terminal shows for a request: the lines, then the question, written without a line
// end so that the answer is typed after it.
struct TerminalFilePrompt {
    std::vector<PromptLine> lines;
    PromptLine question;
};

// The dialog's title; one line per filter entry, display text and pattern two spaces apart
// (TEXTファイル(*.txt)  *.txt); the initial directory; the initial file name; then the
// question, which says that an empty answer cancels. Called by the horofu command when it has
// to ask for a file.
TerminalFilePrompt FilePromptLines(const FileDialogRequest& request);

// The path a typed answer names, or empty text when the user cancelled. Line ends and blanks
// around the answer are dropped, then a double quote at either end, so a pasted quoted path
// works; an answer that is then empty cancels. A relative answer is taken in the request's
// initial directory. As the dialog does, a name without a dot gets the default extension
// (unless that is "*"); a name ending in the separator gets none. Whether the file or its
// directory exists is for the caller to find out. separator is kPosixSeparator for the
// horofu command (absolute means starting with '/'); with kWindowsSeparator, a path starting
// with either slash or a drive letter and colon is absolute.
Text FilePromptAnswer(const FileDialogRequest& request, const Text& answer, char separator);

}  // namespace horofu
