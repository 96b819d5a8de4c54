// The current directory on Windows, for the dialog logic.
#include <windows.h>

#include <string>

#include "runtime/CurrentDirectory.h"

namespace horofu {

Text CurrentDirectory() {
    char area[255];
    DWORD got = GetCurrentDirectoryA(sizeof area, area);
    if (got == 0) return Text(".");
    if (got < sizeof area) return Text(area, got);
    // Too long for the area: nothing was filled and got is the size needed, zero included.
    // Ask again with that much room (the directory may change in between, hence the loop).
    std::string longer;
    while (got >= longer.size()) {
        longer.assign(got, '\0');
        got = GetCurrentDirectoryA(static_cast<DWORD>(longer.size()), longer.data());
        if (got == 0) return Text(".");
    }
    longer.resize(got);
    return Text(std::move(longer));
}

}  // namespace horofu
