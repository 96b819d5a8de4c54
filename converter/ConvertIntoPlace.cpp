// Conversion into a temporary file that replaces the target only when it is complete.
#include "converter/ConvertIntoPlace.h"

#include "runtime/PlatformFile.h"

namespace horofu {

ConversionResult ConvertIntoPlace(const Text& inputPath, const Text& target,
                                  ConversionListener& listener, const PageOptions& options) {
    ConversionResult result;
    if (IsSameFile(inputPath, target)) {
        result.outcome = ConversionOutcome::SameAsInput;
        return result;
    }
    // A device such as /dev/null cannot be replaced, only written to.
    if (IsSpecialFile(target)) return ConvertThreadFile(inputPath, target, listener, options);
    const Text temporary = CreateTemporaryBeside(target);
    if (temporary.Empty()) {
        result.outcome = ConversionOutcome::OutputNotCreated;
        return result;
    }
    result = ConvertThreadFile(inputPath, temporary, listener, options);
    if (result.outcome == ConversionOutcome::Done && !ReplaceFile(temporary, target)) {
        result.outcome = ConversionOutcome::OutputNotCreated;
    }
    if (result.outcome != ConversionOutcome::Done) RemoveFile(temporary);
    return result;
}

}  // namespace horofu
