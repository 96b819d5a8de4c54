// The stop hand-over between a closing console and a running conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "converter/ConversionStop.h"

namespace horofu {
namespace {

using std::chrono::milliseconds;

TEST(ConversionStop, ClosingWithNoConversionRunningReturnsAtOnceAndRefusesALaterOne) {
    ConversionStop stop;
    stop.RequestStopAndWait();
    EXPECT_TRUE(stop.StopRequested());
    EXPECT_FALSE(stop.BeginConversion());

    ConversionStop ended;
    ASSERT_TRUE(ended.BeginConversion());
    EXPECT_FALSE(ended.StopRequested());
    ended.EndConversion();
    ended.RequestStopAndWait();
}

TEST(ConversionStop, ClosingWaitsUntilTheStoppedConversionHasCleanedUp) {
    ConversionStop stop;
    ASSERT_TRUE(stop.BeginConversion());
    std::atomic<bool> cleanedUp{false};
    std::thread conversion([&] {
        while (!stop.StopRequested()) std::this_thread::sleep_for(milliseconds(1));
        std::this_thread::sleep_for(milliseconds(100));  // removing the temporary file
        cleanedUp = true;
        stop.EndConversion();
    });
    stop.RequestStopAndWait();
    EXPECT_TRUE(cleanedUp);
    conversion.join();
}

// Whichever thread comes first, a conversion that was allowed to start has ended before the
// closing side lets the process end.
TEST(ConversionStop, ACloseRacingTheStartEitherRefusesOrWaits) {
    for (int round = 0; round < 300; ++round) {
        ConversionStop stop;
        std::atomic<bool> ended{false};
        std::thread conversion([&] {
            if (!stop.BeginConversion()) return;
            while (!stop.StopRequested()) std::this_thread::yield();
            ended = true;
            stop.EndConversion();
        });
        stop.RequestStopAndWait();
        const bool endedWhenReturned = ended;
        conversion.join();
        EXPECT_EQ(endedWhenReturned, ended.load()) << "round " << round;
    }
}

}  // namespace
}  // namespace horofu
