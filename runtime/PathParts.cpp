// Extension and directory of a dialog's initial path.
#include "runtime/PathParts.h"

#include <cstddef>
#include <string_view>

#include "runtime/ShiftJis.h"
#include "runtime/Split.h"

namespace horofu {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// 0-based indexes of the separators in path that are characters of their own, visited from the
// start; calls found(index) for each. Walking from the start is the only way to know which
// bytes are trail bytes.
template <typename Found>
void ForEachSeparator(std::string_view path, char separator, Found found) {
    // Only a separator that can be a second byte (the backslash, 5C) needs the walk; '/' (2F)
    // never is one.
    const bool walk = IsTrailByte(static_cast<unsigned char>(separator));
    for (std::size_t i = 0; i < path.size(); i += walk ? CharacterBytes(path, i) : 1) {
        if (path[i] == separator) found(i);
    }
}

// The index of the separator the directory ends at, or kNone. As with SplitLast, only the
// bytes before the last one are searched, and a rightmost hit at index 0 is no directory.
std::size_t DirectoryEnd(std::string_view path, char separator) {
    std::size_t last = kNone;
    ForEachSeparator(path, separator, [&](std::size_t i) {
        if (i + 1 < path.size()) last = i;
    });
    return last == 0 ? kNone : last;
}

}  // namespace

Text PathExtension(const Text& path) {
    // A dot (2E) is never a trail byte, so the byte search of SplitLast is safe here.
    return SplitLast(path, Text(".")) == 1 ? LastRight() : Text("*");
}

Text PathDirectory(const Text& path, const Text& currentDirectory, char separator) {
    const std::size_t end = DirectoryEnd(path.View(), separator);
    if (end == kNone) return DirectoryWithSeparator(currentDirectory, separator);
    return Text(path.View().substr(0, end + 1));
}

Text PathFileName(const Text& path, char separator) {
    std::size_t start = 0;
    ForEachSeparator(path.View(), separator, [&](std::size_t i) { start = i + 1; });
    return Text(path.View().substr(start));
}

Text DirectoryWithSeparator(const Text& directory, char separator) {
    bool endsInOne = false;
    ForEachSeparator(directory.View(), separator,
                     [&](std::size_t i) { endsInOne = i + 1 == directory.Size(); });
    return endsInOne ? directory : directory + Text(&separator, 1);
}

}  // namespace horofu
