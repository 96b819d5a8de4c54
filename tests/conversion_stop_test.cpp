// The stop hand-over between a closing console and a running conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/ConversionStop.h"

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
// closing side lets the process end. In odd rounds the close waits until the conversion has
// begun, so the waiting side is always exercised, not only the refusal.
TEST(ConversionStop, ACloseRacingTheStartEitherRefusesOrWaits) {
    int waitedFor = 0;
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        ConversionStop stop;
        std::atomic<bool> began{false};
        std::atomic<bool> ended{false};
        std::thread conversion([&] {
            if (!stop.BeginConversion()) return;
            began = true;
            while (!stop.StopRequested()) std::this_thread::yield();
            std::this_thread::yield();
            ended = true;
            stop.EndConversion();
        });
        if (round % 2 == 1) {
            while (!began) std::this_thread::yield();
        }
        stop.RequestStopAndWait();
        const bool endedWhenReturned = ended;
        conversion.join();
        EXPECT_EQ(endedWhenReturned, ended.load()) << "round " << round;
        (ended ? waitedFor : refused) += 1;
    }
    EXPECT_GE(waitedFor, 150);
    EXPECT_EQ(waitedFor + refused, 300);
}

}  // namespace
}  // namespace horofu
