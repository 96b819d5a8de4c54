// The modern page (not built yet: refuses, writing nothing).
#include "converter/ModernPage.h"

#include "converter/PageWriter.h"

namespace horofu {

ConversionResult ConvertModernChannels(ConversionListener& /*listener*/,
                                       const PageOptions& /*options*/) {
    CloseChannel(kOutput);
    CloseChannel(kInput);
    ConversionResult result;
    result.outcome = ConversionOutcome::OutputNotCreated;
    return result;
}

}  // namespace horofu
