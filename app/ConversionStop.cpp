// The stop hand-over between a thread that converts and one that asks it to stop.
#include "app/ConversionStop.h"

namespace horofu {

bool ConversionStop::BeginConversion() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_.load()) return false;
    running_ = true;
    return true;
}

void ConversionStop::EndConversion() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    ended_.notify_all();
}

void ConversionStop::RequestStopAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_.store(true);
    ended_.wait(lock, [this] { return !running_; });
}

}  // namespace horofu
