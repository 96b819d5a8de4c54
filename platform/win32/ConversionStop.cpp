// The stop hand-over between the console thread and the converting main thread.
#include "platform/win32/ConversionStop.h"

#include <thread>

namespace horofu {

bool ConversionStop::BeginConversion() {
    running_.store(kRunning);
    if (!stop_.load()) return true;
    running_.store(kEnded);
    return false;
}

void ConversionStop::EndConversion() {
    running_.store(kEnded);
}

bool ConversionStop::RequestStopAndWait(std::chrono::milliseconds limit) {
    stop_.store(true);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // Polled: the main thread may be anywhere in the conversion, and the stop is seen between
    // two records, well within a few polls.
    while (running_.load() == kRunning) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace horofu
