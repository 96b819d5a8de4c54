// File and folder names as text: a name is bytes (the system code page's on Windows, often
// UTF-8 elsewhere), while pages, addresses and the search catalog are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace horofu {

// The name as UTF-8 text for a reader: itself when it is UTF-8 (ASCII included), else taken
// for Shift-JIS (CP932), as names made on Japanese Windows are.
std::string NameAsUtf8(std::string_view bytes);

// The name as an address spells it before percent-encoding, for a page that links to the file
// of that name: its bytes where names are bytes (POSIX), its text in UTF-8 where names are
// characters written in the system code page (Windows), as browsers read addresses there.
// Implemented by the platform (File_posix.cpp, File_win32.cpp).
std::string NameInAddress(std::string_view bytes);

}  // namespace horofu
