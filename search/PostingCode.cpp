// Writing and reading the index's lists of post ordinals.
#include "search/PostingCode.h"

namespace horofu {

namespace {

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

}  // namespace

void AppendCodeNumber(std::string& into, uint64_t n) {
    while (n >= 32) {
        into += kDigits[32 | (n & 31)];
        n >>= 5;
    }
    into += kDigits[n];
}

bool DecodeNumbers(std::string_view code, std::vector<uint32_t>& numbers) {
    uint64_t n = 0;
    int shift = 0;
    for (char c : code) {
        const int v = DigitValue(c);
        if (v < 0 || shift > 30) return false;
        n |= static_cast<uint64_t>(v & 31) << shift;
        if (v & 32) {
            shift += 5;
            continue;
        }
        if (n > UINT32_MAX) return false;
        numbers.push_back(static_cast<uint32_t>(n));
        n = 0;
        shift = 0;
    }
    return shift == 0;
}

void AppendPostings(std::string& into, const std::vector<uint32_t>& ordinals, int64_t& last) {
    for (uint32_t ordinal : ordinals) {
        AppendCodeNumber(into, static_cast<uint64_t>(static_cast<int64_t>(ordinal) - last - 1));
        last = ordinal;
    }
}

bool DecodePostings(std::string_view code, std::vector<uint32_t>& ordinals) {
    const std::size_t first = ordinals.size();
    if (!DecodeNumbers(code, ordinals)) return false;
    int64_t last = -1;
    for (std::size_t i = first; i < ordinals.size(); ++i) {
        last += static_cast<int64_t>(ordinals[i]) + 1;
        if (last > UINT32_MAX) return false;
        ordinals[i] = static_cast<uint32_t>(last);
    }
    return true;
}

void AppendNumber(std::string& into, uint64_t n) {
    while (n >= 0x80) {
        into += static_cast<char>(0x80 | (n & 0x7F));
        n >>= 7;
    }
    into += static_cast<char>(n);
}

bool ReadNumber(std::string_view bytes, std::size_t& at, uint64_t& n) {
    n = 0;
    for (int shift = 0; at < bytes.size() && shift < 64; shift += 7) {
        const auto b = static_cast<unsigned char>(bytes[at++]);
        n |= static_cast<uint64_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

}  // namespace horofu
