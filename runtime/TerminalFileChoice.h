// The file choice on a terminal, for a platform without file dialogs (the horofu command): the
// path a typed answer names.
#pragma once

#include "runtime/FileDialogRequest.h"
#include "runtime/Text.h"

namespace horofu {

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
