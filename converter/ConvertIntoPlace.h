// Writing a page so that a failed or stopped conversion never leaves half a page behind.
#pragma once

#include <memory>

#include "converter/ConvertThreadFile.h"
#include "runtime/PlatformFile.h"
#include "runtime/Text.h"

namespace horofu {

// Converts the thread at inputPath into a new file beside target and puts that in target's
// place only once the whole page is written. On any failure, or when the listener stops it,
// target is left as it was and the new file is removed. A target that is the input itself is
// refused up front (SameAsInput); an existing target is replaced only with mayReplace
// (OutputExists otherwise, also when another program puts a page there meanwhile). A device
// or pipe is written directly. Called by Horofu.exe, once per file.
ConversionResult ConvertIntoPlace(const Text& inputPath, const Text& target,
                                  ConversionListener& listener, const PageOptions& options = {},
                                  bool mayReplace = false);

// The same for a caller that opened the page's place itself, before asking whether a page
// there may be replaced, and then the thread: what the place held when opened decides, and
// a link there leads the page to a device or pipe only with mayReplace. Closes the thread.
// Called by the horofu command, once per file.
ConversionResult ConvertIntoPlace(std::unique_ptr<PlatformFile> thread, PagePlace& place,
                                  ConversionListener& listener, const PageOptions& options,
                                  bool mayReplace);

}  // namespace horofu
