// Conversion into a new file that takes the target's place only when it is complete.
#include "converter/ConvertIntoPlace.h"

#include "converter/ConversionChannels.h"
#include "converter/ConversionFailure.h"

namespace horofu {
namespace {

ConversionResult Failed(ConversionOutcome outcome, int systemError) {
    ConversionResult result;
    result.outcome = outcome;
    result.systemError = systemError;
    return result;
}

ConversionResult ConvertAndPlace(ChannelTable& channels, std::unique_ptr<PlatformFile> thread,
                                 PagePlace& place, ConversionListener& listener,
                                 const PageOptions& options, bool mayReplace) {
    const PageTarget kind = place.Target();
    if (kind == PageTarget::Refused) return Failed(ConversionOutcome::OutputNotCreated, 0);
    if (kind == PageTarget::Existing && !mayReplace) {
        return Failed(ConversionOutcome::OutputExists, 0);
    }

    // A device such as /dev/null cannot be replaced, only written to.
    int error = 0;
    if (auto stream = place.OpenStream(mayReplace, &error)) {
        channels.Attach(std::move(thread), 1, kInput);
        channels.Attach(std::move(stream), 2, kOutput);
        return ConvertOpenChannels(channels, listener, options);
    }
    if (error != 0) return Failed(ConversionOutcome::OutputNotCreated, error);

    auto page = place.CreatePage(&error);
    if (!page) return Failed(ConversionOutcome::OutputNotCreated, error);
    auto output = page->OpenForWriting();
    if (!output) return Failed(ConversionOutcome::OutputNotCreated, page->SystemError());
    channels.Attach(std::move(thread), 1, kInput);
    channels.Attach(std::move(output), 2, kOutput);
    ConversionResult result = ConvertOpenChannels(channels, listener, options);
    if (result.outcome != ConversionOutcome::Done) return result;  // the page goes with page
    switch (page->PutInPlace(mayReplace)) {
        case PlaceResult::Placed:
            break;
        case PlaceResult::TargetExists:
            result.outcome = ConversionOutcome::OutputExists;
            break;
        case PlaceResult::Failed:
            result.outcome = ConversionOutcome::OutputNotCreated;
            result.systemError = page->SystemError();
            break;
    }
    return result;
}

}  // namespace

ConversionResult ConvertIntoPlace(const Text& inputPath, const Text& target,
                                  ConversionListener& listener, const PageOptions& options,
                                  bool mayReplace) {
    if (IsSameFile(inputPath, target)) return Failed(ConversionOutcome::SameAsInput, 0);
    int error = 0;
    auto place = OpenPagePlace(target, &error);
    if (!place) return Failed(ConversionOutcome::OutputNotCreated, error);
    if (place->Target() == PageTarget::Existing && !mayReplace) {
        return Failed(ConversionOutcome::OutputExists, 0);
    }
    // The input first: a thread that cannot be read leaves no trace of a page.
    auto input = OpenPlatformFile(inputPath, OpenMode::Input, &error);
    if (!input) return Failed(ConversionOutcome::InputNotOpened, error);
    return ConvertIntoPlace(std::move(input), *place, listener, options, mayReplace);
}

ConversionResult ConvertIntoPlace(std::unique_ptr<PlatformFile> thread, PagePlace& place,
                                  ConversionListener& listener, const PageOptions& options,
                                  bool mayReplace) {
    ChannelTable channels;  // this conversion's own
    try {
        return ConvertAndPlace(channels, std::move(thread), place, listener, options, mayReplace);
    } catch (...) {
        // The last resort: the unfinished page went as the exception left ConvertAndPlace,
        // and the failure is reported rather than ending the program.
        channels.Close(kOutput);
        channels.Close(kInput);
        return FailedConversion();
    }
}

}  // namespace horofu
