// The current directory on POSIX systems, for the dialog logic and the terminal file choice.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "runtime/CurrentDirectory.h"

namespace horofu {

Text CurrentDirectory() {
    // getcwd reports ERANGE while the buffer is too small; grow it until the path fits.
    std::string area(256, '\0');
    for (;;) {
        if (::getcwd(area.data(), area.size()) != nullptr) {
            area.resize(area.find('\0'));
            return Text(std::move(area));
        }
        if (errno != ERANGE) return Text(".");
        area.resize(area.size() * 2);
    }
}

}  // namespace horofu
