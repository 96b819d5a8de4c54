// The modern page: a UTF-8 HTML5 page for the threads saved today.
#pragma once

#include "converter/ConvertThreadFile.h"

namespace horofu {

// Reads the thread on channel 1 of channels and writes its modern page on channel 2; closes
// both. Called by ConvertOpenChannels when the options ask for the modern page.
ConversionResult ConvertModernChannels(ChannelTable& channels, ConversionListener& listener,
                                       const PageOptions& options);

}  // namespace horofu
