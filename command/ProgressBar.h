// A one-line progress bar on a terminal for conversions that take a while.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "command/Terminal.h"

namespace horofu {

class ProgressBar {
  public:
    // label (shown text) names the file; nothing is drawn unless standard error is a terminal.
    ProgressBar(Terminal& terminal, std::string label);
    // Called by the conversion now and then. Draws only after the first half second, so
    // that short conversions stay quiet, and at most ten times a second.
    void Update(uint64_t done, uint64_t total);
    // Removes the bar from the line, leaving the cursor at its start.
    void Clear();

  private:
    Terminal& terminal_;
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace horofu
