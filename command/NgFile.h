// --ng FILE, --ng-mode and --ng-chain: the NG rules both the conversion and the site command
// read from their command lines.
#pragma once

#include <memory>
#include <string>

#include "converter/modern/NgFilter.h"

namespace horofu {

// Reads the rules of the NG file at path, with mode ("hide", "mark" or empty for hide) and
// chain. Null when they cannot be used, with told set to what to say on standard error after
// "horofu: " (a bad line is told with the file's name and its number), in the locale's
// language.
std::shared_ptr<const NgFilter> ReadNgFile(const std::string& path, const std::string& mode,
                                           bool chain, std::string& told);

}  // namespace horofu
