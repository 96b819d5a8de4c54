// The command's terminal on Windows: a console, or a pipe or file.
#pragma once

#include <string>

#include "command/Terminal.h"

namespace horofu {

// Shown text is UTF-8: written to a console as UTF-16 (WriteConsoleW), so that Japanese file
// names show whatever the console's code page; to a pipe or file as UTF-8 bytes. The program's
// text is the ANSI code page's, as the file calls take it. Made once by wmain.
class ConsoleTerminal final : public Terminal {
  public:
    ConsoleTerminal();
    ~ConsoleTerminal() override;
    ConsoleTerminal(const ConsoleTerminal&) = delete;
    ConsoleTerminal& operator=(const ConsoleTerminal&) = delete;

    bool IsTerminal(StandardStream stream) const override;
    int Width(StandardStream stream) const override;
    std::string FromProgramText(std::string_view text) const override;
    std::string FromShiftJis(std::string_view shiftJis) const override;
    bool ShowsUtf8() const override { return true; }
    bool Write(StandardStream stream, std::string_view shown) override;
    bool Flush(StandardStream stream) override;
    std::string ReadLine(bool& ended) override;

  private:
    bool WriteToConsole(void* console, std::string_view shown);
    bool WriteBytes(void* handle, std::string_view bytes);

    std::string outputBuffer_;  // standard output when it is no console, written in blocks
    bool outputFailed_ = false;
    bool escapes_[3] = {false, false, false};  // whether each console obeys "\x1b[K"
};

}  // namespace horofu
