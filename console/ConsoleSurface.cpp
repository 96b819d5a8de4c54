// The drawing a surface gets unless it knows a faster way.
#include "console/ConsoleSurface.h"

#include "runtime/Text.h"

namespace horofu {

void ConsoleSurface::DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances,
                             int32_t count, ConsoleColor fg, ConsoleColor bg) {
    for (int32_t j = 0; j < count;) {
        const int32_t n = IsLeadByte(static_cast<unsigned char>(bytes[j])) && j + 1 < count ? 2 : 1;
        DrawCharacter(x, y, bytes + j, n, fg, bg);
        for (int32_t k = 0; k < n; ++k) x += advances[j + k];
        j += n;
    }
}

bool ConsoleSurface::ScrollUp(int32_t /*bottom*/, int32_t /*distance*/, int32_t /*right*/) {
    return false;
}

}  // namespace horofu
