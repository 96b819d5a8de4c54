// How the console thread, when the user closes the console window, stops a running conversion
// and lets it clean up before the process ends.
#pragma once

#include <atomic>
#include <chrono>

namespace horofu {

// Shared by the main thread, which converts, and the console thread, which hears of the
// window's closing. Holds no OS objects, so either thread may use it at any time.
class ConversionStop {
  public:
    // Main thread, right before the conversion: false when a stop was already asked for, and
    // then no conversion may start. A stop asked for after a true answer is waited for.
    bool BeginConversion();

    // Main thread, once the conversion has returned and has removed whatever it left behind
    // (a stopped conversion removes its temporary file before returning).
    void EndConversion();

    // The conversion's listener, between records: whether to stop now.
    bool StopRequested() const { return stop_.load(); }

    // Console thread, in the closed handler: asks the conversion to stop and waits until it
    // has ended, or at most limit; returns at once when none is running. The process ends
    // when the handler returns, so a conversion that ends later can leave its temporary file
    // only if it takes longer than limit to see the stop. Answers whether it has ended.
    bool RequestStopAndWait(std::chrono::milliseconds limit);

  private:
    enum { kIdle, kRunning, kEnded };
    // Sequentially consistent on both sides: the main thread marks itself running and then
    // reads stop_, the console thread sets stop_ and then reads running_, so at least one of
    // them sees the other (the conversion is refused, or it is waited for).
    std::atomic<bool> stop_{false};
    std::atomic<int> running_{kIdle};
};

}  // namespace horofu
