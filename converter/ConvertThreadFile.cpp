// The conversion's entry points: open the channels, and build the page the options ask for.
#include "converter/ConvertThreadFile.h"

#include "converter/ConversionChannels.h"
#include "converter/ConversionFailure.h"
#include "converter/PageWriter.h"
#include "converter/classic/ClassicPage.h"
#include "converter/modern/ModernPage.h"

namespace horofu {

ConversionResult ConvertThreadFile(const Text& inputPath, const Text& outputPath,
                                   ConversionListener& listener, const PageOptions& options) {
    ChannelTable channels;  // this conversion's own
    channels.Open(inputPath, 1, kInput);
    if (channels.Status(kInput) == ChannelStatus::Open) channels.Open(outputPath, 2, kOutput);
    return ConvertOpenChannels(channels, listener, options);
}

ConversionResult ConvertOpenChannels(ChannelTable& channels, ConversionListener& listener,
                                     const PageOptions& options) {
    try {
        if (options.kind == PageKind::Modern) {
            return ConvertModernChannels(channels, listener, options);
        }
        return ConvertClassicChannels(channels, listener, ClassicTuning{});
    } catch (...) {
        // Each page handles its own failures; this is for what escapes even that (a page
        // written to standard output has no ConvertIntoPlace around it).
        channels.Close(kOutput);
        channels.Close(kInput);
        return FailedConversion();
    }
}

}  // namespace horofu
