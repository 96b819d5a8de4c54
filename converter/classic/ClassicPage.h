// The classic page's conversion with its piece sizes and thread count open to tests.
#pragma once

#include <cstddef>

#include "converter/ConvertThreadFile.h"

namespace horofu {

struct ClassicTuning {
    std::size_t chunkBytes = 1024 * 1024;      // thread bytes read at once
    std::size_t chunkPageBytes = 4096 * 1024;  // page bytes a chunk gathers before writing
    int threads = 2;                           // 1: record by record on the caller's thread
    bool copyLongRecords = false;  // read long records again from a copy, as from a pipe
};

// Reads the thread on channel 1 of channels and writes its classic page on channel 2; closes
// both. Called by ConvertOpenChannels, and by tests with small pieces to cut records
// everywhere.
ConversionResult ConvertClassicChannels(ChannelTable& channels, ConversionListener& listener,
                                        const ClassicTuning& tuning);

}  // namespace horofu
