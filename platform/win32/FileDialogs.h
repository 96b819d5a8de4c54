// The open and save dialogs of Horofu.exe: the common dialogs of comdlg32, given what the
// portable dialog logic works out.
#pragma once

#include <windows.h>

#include "runtime/Text.h"

namespace horofu {

// Shows the open dialog when open is true, else the save dialog, owned by owner (null for
// none), with the filters offered by extensions, starting from initialPath, titled title.
// Returns the full path chosen, or empty text when the user cancelled or the dialog failed.
// Called by ChooseOpenFile and ChooseSaveFile.
Text ChooseFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                bool open);

// The open dialog; called by start-up when the command line names no input.
Text ChooseOpenFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title);

// The save dialog, which asks before an existing file is replaced; called by start-up for
// the page's path.
Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title);

}  // namespace horofu
