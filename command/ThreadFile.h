// Opening a thread the user named, which the horofu command does before converting it.
#pragma once

#include <memory>

#include "runtime/PlatformFile.h"

namespace horofu {

// The reason OpenThreadByName gives for a character device: one (/dev/zero, /dev/urandom)
// may never end, and a page written from it would fill the disk.
constexpr int kThreadIsDevice = -1;

// Opens the thread at path as OpenPlatformFile(path, OpenMode::Input) does, but refuses a
// character device, without opening it (kThreadIsDevice in *systemError). Standard input is
// opened as any stream; this is for names only. Called by the horofu command.
std::unique_ptr<PlatformFile> OpenThreadByName(const Text& path, int* systemError);

}  // namespace horofu
