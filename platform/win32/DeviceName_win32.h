// Whether a Windows name stands for a device rather than a file on disk.
#pragma once

#include "runtime/Text.h"

namespace horofu {

// True when path opens as something other than a disk file: NUL, CON, a COM port, however
// spelled (CON.txt too). Asked without access and with every share mode, so that a file a
// channel holds can still be asked; a folder does not open this way. Called before a page is
// written (a device is written in place) and before a thread is read by name.
bool NamesDevice(const Text& path);

}  // namespace horofu
