// The channel numbers every conversion uses, whoever opens them.
#pragma once

namespace horofu {

// The thread is read on channel 1 and the page written on channel 2.
constexpr int kInput = 1;
constexpr int kOutput = 2;

}  // namespace horofu
