// Addresses of board threads: which board, thread and post an address in a post leads to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace horofu {

// The thread an address names, and the post it leads to.
struct ThreadAddress {
    std::string board;
    std::string key;
    uint32_t post = 0;   // the post named ("12", "12-15", "12-", "st=12"); 0: the thread's top
    uint32_t lastN = 0;  // "l50": the first of the last 50 posts, once the thread is known
};

// Whether address (as found in a post: http, https, ttp or ttps, any host) names a thread:
// ".../read.cgi/BOARD/KEY/" with an optional post part ("12", "12-15", "-15", "12-", "l50",
// any of them with a trailing "n"), "read.cgi?bbs=BOARD&key=KEY&st=N&to=M", or a past log
// ending in "BOARD/.../KEY.html". Called by the archive for every address of every thread.
bool ParseThreadAddress(std::string_view address, ThreadAddress& out);

}  // namespace horofu
