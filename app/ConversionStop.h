// How a front end stops a running conversion from another thread (Horofu.exe: when the user
// closes the console window) and lets it clean up before the process ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace horofu {

// Shared by the thread that converts and the one that asks it to stop. Holds no OS objects,
// so either thread may use it at any time.
class ConversionStop {
  public:
    // The converting thread, right before the conversion: false when a stop was already asked
    // for, and then no conversion may start. A stop asked for after a true answer is waited for.
    bool BeginConversion();

    // The converting thread, once the conversion has returned and has removed whatever it left
    // behind (a stopped conversion removes its page file before returning).
    void EndConversion();

    // The conversion's listener, between records: whether to stop now.
    bool StopRequested() const { return stop_.load(); }

    // The other thread (the console's, when its window has closed): asks the conversion to
    // stop and waits until it has ended and cleaned up; returns at once when none is running.
    // There is no time limit: the conversion sees the stop between two records, and a page
    // file removed in time is worth more than a quick exit.
    void RequestStopAndWait();

  private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = false;  // under mutex_
    std::atomic<bool> stop_{false};
};

}  // namespace horofu
