// Writing a page so that a failed or stopped conversion never leaves half a page behind.
#pragma once

#include "converter/ConvertThreadFile.h"
#include "runtime/Text.h"

namespace horofu {

// Converts the thread at inputPath into a new file beside target and puts that in target's
// place only once the whole page is written. On any failure, or when the listener stops it,
// target is left as it was and the new file is removed. A target that is the input itself is
// refused up front (SameAsInput); an existing target is replaced only with mayReplace
// (OutputExists otherwise, also when another program puts a page there meanwhile). A device
// or pipe is written directly. Called by both front ends, once per file.
ConversionResult ConvertIntoPlace(const Text& inputPath, const Text& target,
                                  ConversionListener& listener, const PageOptions& options = {},
                                  bool mayReplace = false);

}  // namespace horofu
