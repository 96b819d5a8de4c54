// The drawing a surface gets unless it knows a faster way.
#include "console/ConsoleSurface.h"

#include <string_view>

#include "runtime/ShiftJis.h"

namespace horofu {

void ConsoleSurface::DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances,
                             int32_t count, ConsoleColor fg, ConsoleColor bg) {
    const std::string_view run(bytes, static_cast<std::size_t>(count));
    for (int32_t j = 0; j < count;) {
        const auto n = static_cast<int32_t>(CharacterBytes(run, j));
        DrawCharacter(x, y, bytes + j, n, fg, bg);
        for (int32_t k = 0; k < n; ++k) x += advances[j + k];
        j += n;
    }
}

bool ConsoleSurface::ScrollUp(int32_t /*bottom*/, int32_t /*distance*/, int32_t /*right*/) {
    return false;
}

}  // namespace horofu
