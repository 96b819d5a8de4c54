// A path as the bytes the platform's file calls take: on a system whose paths are wide
// (Windows), in the code page of the C library's locale, by which a narrow string also becomes a
// path; elsewhere the path's own bytes.
#pragma once

#include <cwchar>
#include <filesystem>
#include <string>
#include <type_traits>

namespace horofu {

// path::string() will not do on Windows: it gives UTF-8, while the platform's calls and the
// conversion of narrow strings into paths use the system code page.
template <typename Native>
std::string NativePathBytes(const Native& native) {
    if constexpr (std::is_same_v<typename Native::value_type, char>) {
        return native;
    } else {
        std::string bytes;
        std::mbstate_t state{};
        char one[16];  // at least MB_LEN_MAX
        for (const wchar_t c : native) {
            const std::size_t n = std::wcrtomb(one, c, &state);
            if (n == static_cast<std::size_t>(-1)) {
                bytes += '?';  // no spelling in the code page: the file is told unreadable
                state = std::mbstate_t{};
            } else {
                bytes.append(one, n);
            }
        }
        return bytes;
    }
}
// Called wherever the archive hands a path it found in a folder to the platform or the user.
inline std::string PathBytes(const std::filesystem::path& path) {
    return NativePathBytes(path.native());
}

}  // namespace horofu
