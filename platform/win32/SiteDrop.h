// A folder dropped onto Horofu.exe: its threads become a site, or bring one up to date.
#pragma once

#include <windows.h>

#include "runtime/Text.h"

namespace horofu {

// Whether the path from the command line names a folder (the drop of a folder rather than of a
// thread file). Called by start-up before the extension check.
bool IsFolderPath(const Text& path);

// The whole run for a dropped folder: the site's folder asked for with the folder dialog
// (FOLDER-site beside it proposed), each thread's board and key echoed on the console as it
// converts, problems told with their paths, the completion message. Ends the process: 0 when
// the site is complete or the dialog was cancelled, 1 after a problem has been told. Called by
// start-up, with the console up and owner its window.
[[noreturn]] void RunSiteDrop(HWND owner, const Text& folder);

}  // namespace horofu
