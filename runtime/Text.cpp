// The plain text operations: lengths, cuts, comparison and case folding.
#include "runtime/Text.h"

#include <algorithm>
#include <cstring>

#include "runtime/ShiftJis.h"

namespace horofu {

int32_t Len(const Text& t) {
    return static_cast<int32_t>(t.Size());
}

int CompareText(const Text& a, const Text& b) {
    // std::string compares as unsigned char, which is the byte order wanted here.
    const int c = a.View().compare(b.View());
    return c < 0 ? 1 : (c == 0 ? 2 : 3);
}

Text Chr(int32_t code) {
    const char byte = static_cast<char>(code & 0xFF);
    return Text(&byte, 1);
}

Text Left(const Text& t, int32_t n) {
    if (n <= 0) return Text();
    return Text(t.Data(), std::min<std::size_t>(static_cast<std::size_t>(n), t.Size()));
}

Text Right(const Text& t, int32_t n) {
    if (n <= 0) return Text();
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), t.Size());
    return Text(t.Data() + (t.Size() - count), count);
}

Text Mid(const Text& t, int32_t start, int32_t length) {
    const int64_t s0 = static_cast<int64_t>(start) - 1;
    const int64_t size = Len(t);
    if (s0 < 0 || s0 >= size || length < 0) return Text();
    int64_t count = length == 0 ? size - s0 : length;
    count = std::min(count, size - s0);
    return Text(t.Data() + s0, static_cast<std::size_t>(count));
}

Text Repeat(int32_t count, const Text& t) {
    if (count <= 0) return Text();
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * t.Size());
    for (int32_t i = 0; i < count; ++i) out += t.Bytes();
    return Text(std::move(out));
}

Text LowerCase(const Text& t) {
    std::string out(t.Bytes());
    // A double-byte character's second byte stays as it is.
    for (std::size_t i = 0; i < out.size(); i += CharacterBytes(out, i)) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 'A' && b <= 'Z') out[i] = static_cast<char>(b + ('a' - 'A'));
    }
    return Text(std::move(out));
}

}  // namespace horofu
