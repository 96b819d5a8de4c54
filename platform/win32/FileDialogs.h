// The open, save and folder dialogs of Horofu.exe: the common dialogs of comdlg32, given what
// the portable dialog logic works out, and the shell's folder dialog.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/Text.h"

namespace horofu {

// Shows the open dialog when open is true, else the save dialog, owned by owner (null for
// none), with the filters offered by extensions, starting from initialPath, titled title, the
// filter entry fileType (counted from 1) selected. Returns the full path chosen, with fileType
// set to the entry the user left selected, or empty text when the user cancelled or the
// dialog failed. Called by ChooseOpenFile and ChooseSaveFile.
Text ChooseFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                bool open, uint32_t& fileType);

// The open dialog, its first entry selected; called by start-up when the command line names
// no input.
Text ChooseOpenFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title);

// The save dialog, which asks before an existing file is replaced, its first entry selected.
Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title);

// The same with the entry selected at first given, and the one chosen read back into
// fileType; called by start-up for the page's path, whose type says which page to write.
Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                    uint32_t& fileType);

// The folder dialog, owned by owner and titled title, showing folder parent with name filled in
// as the folder to choose, which need not exist yet. Returns the full path of the folder
// chosen, or empty text when the user cancelled; sets unnamed when the folder chosen has a
// name that the system's code page cannot spell (Horofu.exe's paths are in it). Called by the
// dropped folder's run for the site's folder.
Text ChooseFolder(HWND owner, const Text& parent, const Text& name, const Text& title,
                  bool& unnamed);

// The directory a dialog on a Windows path starts in (PathDirectory in the process's current
// directory, split at backslashes).
Text PathDirectory(const Text& path);

}  // namespace horofu
