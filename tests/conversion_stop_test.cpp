// The stop hand-over between a closing console and a running conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32/ConversionStop.h"

namespace horofu {
namespace {

using std::chrono::milliseconds;

TEST(ConversionStop, ClosingWithNoConversionRunningReturnsAtOnceAndRefusesALaterOne) {
    ConversionStop stop;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop.RequestStopAndWait(milliseconds(5000)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
    EXPECT_TRUE(stop.StopRequested());
    EXPECT_FALSE(stop.BeginConversion());

    ConversionStop ended;
    ASSERT_TRUE(ended.BeginConversion());
    ended.EndConversion();
    EXPECT_TRUE(ended.RequestStopAndWait(milliseconds(5000)));

    // A conversion that never ends is given up on after the wait.
    ConversionStop stuck;
    ASSERT_TRUE(stuck.BeginConversion());
    EXPECT_FALSE(stuck.RequestStopAndWait(milliseconds(50)));
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
    EXPECT_TRUE(stop.RequestStopAndWait(milliseconds(5000)));
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
        ASSERT_TRUE(stop.RequestStopAndWait(milliseconds(5000)));
        const bool endedWhenReturned = ended;
        conversion.join();
        EXPECT_EQ(endedWhenReturned, ended.load()) << "round " << round;
    }
}

}  // namespace
}  // namespace horofu
