// The horofu command's echo: records as the console shows them, on a terminal or a file.
#include "command/CommandListener.h"

#include <string_view>

#include "runtime/ShiftJis.h"

namespace horofu {

void CommandListener::Echo(const Text& line) {
    if (bar_ != nullptr) bar_->Clear();
    // The console's echo ends each record with CR LF; a terminal wants LF. A long record
    // comes in pieces, and a piece may end inside a character: that waits for the next.
    std::string_view bytes = line.View();
    const bool ends = bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n";
    if (ends) bytes.remove_suffix(2);
    std::string joined;
    if (!cut_.empty()) {
        joined.swap(cut_);
        joined.append(bytes);
        bytes = joined;
    }
    if (!ends && !bytes.empty() && IsLeadByte(static_cast<unsigned char>(bytes.back())) &&
        !IsTrailByteAt(bytes, bytes.size() - 1)) {
        cut_.assign(1, bytes.back());
        bytes.remove_suffix(1);
    }
    std::string shown = terminal_.FromShiftJis(bytes);
    if (terminal_.IsTerminal(echoTo_)) shown = terminal_.ShowControls(shown);
    if (ends) shown += '\n';
    terminal_.Write(echoTo_, shown);
}

}  // namespace horofu
