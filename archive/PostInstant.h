// The instant of a post from the date its header shows, which boards give in Japan time.
#pragma once

#include <cstdint>
#include <string_view>

namespace horofu {

// Unix seconds of a header's date ("2024/09/10(火) 07:22:22.16", "06/11/03(金) 21:14:05",
// "2006/11/03 21:14"), read as Japan time (UTC+9); two-digit years are 1970 to 2069. 0 when
// the text holds no date. Called by the archive for a thread's first and last posts.
int64_t PostInstant(std::string_view date);

}  // namespace horofu
