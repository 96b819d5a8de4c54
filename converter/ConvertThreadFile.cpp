// The conversion's entry points: open the channels, and build the page the options ask for.
#include "converter/ConvertThreadFile.h"

#include "converter/ClassicPage.h"
#include "converter/ConversionChannels.h"
#include "converter/ConversionFailure.h"
#include "converter/ModernPage.h"
#include "converter/PageWriter.h"

namespace horofu {

ConversionResult ConvertThreadFile(const Text& inputPath, const Text& outputPath,
                                   ConversionListener& listener, const PageOptions& options) {
    OpenChannel(inputPath, 1, kInput);
    if (GetChannelStatus(kInput) == ChannelStatus::Open) OpenChannel(outputPath, 2, kOutput);
    return ConvertOpenChannels(listener, options);
}

ConversionResult ConvertOpenChannels(ConversionListener& listener, const PageOptions& options) {
    try {
        if (options.kind == PageKind::Modern) return ConvertModernChannels(listener, options);
        return ConvertClassicChannels(listener, ClassicTuning{});
    } catch (...) {
        // Each page handles its own failures; this is for what escapes even that (a page
        // written to standard output has no ConvertIntoPlace around it).
        CloseChannel(kOutput);
        CloseChannel(kInput);
        return FailedConversion();
    }
}

}  // namespace horofu
