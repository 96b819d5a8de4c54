// FNV-1a: the 64-bit hash that tells texts apart where the program keeps no copy of them.
#pragma once

#include <cstdint>
#include <string_view>

namespace horofu {

inline constexpr uint64_t kFnvStart = 14695981039346656037ull;

// The hash of bytes following those hash was taken of (none: kFnvStart).
inline uint64_t Fnv(std::string_view bytes, uint64_t hash = kFnvStart) {
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

}  // namespace horofu
