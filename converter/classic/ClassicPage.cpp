// The classic page: the thread read in large pieces and cut into records in memory, converted
// on two threads at once when it is large (ChunkedConversion.h), record by record when the
// records are echoed (RecordWindow.h).
#include "converter/classic/ClassicPage.h"

#include <algorithm>
#include <vector>

#include "converter/ConversionFailure.h"
#include "converter/PageText.h"
#include "converter/PageWriter.h"
#include "converter/classic/ChunkedConversion.h"
#include "converter/classic/RecordWindow.h"
#include "runtime/ChannelTable.h"

namespace horofu {
namespace {

ConversionResult ConvertClassic(ChannelTable& channels, ConversionListener& listener,
                                const ClassicTuning& tuning) {
    ConversionResult result;
    const uint64_t total = channels.SizeAtOpen(kInput);
    bool readOk = true;
    {
        ChannelSink page(channels);
        PageWriter out(&page);
        out.PutLine(page::kHtmlOpen);
        out.PutLine(page::kBodyOpen);
        out.PutLine(page::kListOpen);
        out.Flush();

        Tally tally;
        // Two threads for more than a chunk, or a pipe (size 0: unknown); echoed records are
        // shown in order as they are read, so an echo keeps to one.
        const bool echo = listener.WantsEcho();
        if (!echo && tuning.threads > 1 && (total > tuning.chunkBytes || total == 0)) {
            ChunkedConversion chunked(channels, listener, total, tuning);
            readOk = chunked.Run(tally);
            if (chunked.Stopped()) result.outcome = ConversionOutcome::Stopped;
        } else {
            std::vector<char> window(tuning.chunkBytes);
            RecordHook hook{channels, listener, echo, total};
            WindowConversion conversion(channels, window, 0, 0, out, hook, tuning.copyLongRecords);
            readOk = conversion.Run(tally);
            listener.Progress(channels.Position(kInput), total);
            if (hook.stopped) result.outcome = ConversionOutcome::Stopped;
        }
        result.records = tally.records;
        result.posts = tally.posts;

        out.PutLine(page::kListClose);
        out.PutLine(page::kBodyClose);
        out.PutLine(page::kHtmlClose);
    }
    result.bytesWritten = channels.Position(kOutput);
    readOk = readOk && channels.Status(kInput) == ChannelStatus::Open;
    const bool written = channels.Close(kOutput);
    channels.Close(kInput);
    channels.Close(kRecordCopy);
    if (result.outcome == ConversionOutcome::Done) {
        if (!readOk) {
            result.outcome = ConversionOutcome::ReadFailed;
        } else if (!written) {
            result.outcome = ConversionOutcome::WriteFailed;
        }
    }
    return result;
}

}  // namespace

ConversionResult ConvertClassicChannels(ChannelTable& channels, ConversionListener& listener,
                                        const ClassicTuning& tuning) {
    if (channels.Status(kInput) != ChannelStatus::Open ||
        channels.Status(kOutput) != ChannelStatus::Open) {
        ConversionResult result;
        result.outcome = channels.Status(kInput) != ChannelStatus::Open
                             ? ConversionOutcome::InputNotOpened
                             : ConversionOutcome::OutputNotCreated;
        channels.Close(kOutput);
        channels.Close(kInput);
        return result;
    }
    // A window must hold more than the few bytes kept between the windows of a long record.
    ClassicTuning sized = tuning;
    sized.chunkBytes = std::max<std::size_t>(sized.chunkBytes, 64);
    try {
        return ConvertClassic(channels, listener, sized);
    } catch (...) {
        // Out of memory, or worse: the page is incomplete, and the caller removes it.
        channels.Close(kOutput);
        channels.Close(kInput);
        channels.Close(kRecordCopy);
        return FailedConversion();
    }
}

}  // namespace horofu
