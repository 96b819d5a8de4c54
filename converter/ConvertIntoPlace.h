// Writing a page so that a failed or stopped conversion never leaves half a page behind.
#pragma once

#include "converter/ConvertThreadFile.h"
#include "runtime/Text.h"

namespace horofu {

// Converts the thread at inputPath into a temporary file beside target and moves that over
// target only once the whole page is written. On any failure, or when the listener stops
// it, target is left as it was and the temporary file is removed. A target that is the
// input itself is refused up front (SameAsInput). Called by both front ends, once per file.
ConversionResult ConvertIntoPlace(const Text& inputPath, const Text& target,
                                  ConversionListener& listener, const PageOptions& options = {});

}  // namespace horofu
