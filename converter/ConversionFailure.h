// What a conversion reports when something it did not foresee ends it: an exception that
// escaped the page's own handling.
#pragma once

#include "converter/ConvertThreadFile.h"

namespace horofu {

// The result for the exception being handled: OutOfMemory for std::bad_alloc, Unexpected
// (with the system's reason of a std::system_error) for anything else. Called only inside a
// catch block, by the pages' and ConvertIntoPlace's last-resort handlers, once the channels
// are closed.
ConversionResult FailedConversion();

}  // namespace horofu
