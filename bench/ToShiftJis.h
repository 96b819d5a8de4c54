// UTF-8 sample text turned into Shift-JIS for the benchmarks' generated threads.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>

namespace horofu::bench {

// The Shift-JIS of utf8 through cd (an iconv descriptor from UTF-8 to CP932); what it cannot
// turn is left out. Called by the thread and archive generators for their fixed texts.
inline std::string ToShiftJis(iconv_t cd, const std::string& utf8) {
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    ::iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace horofu::bench
