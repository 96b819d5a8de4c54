// The command's terminal on POSIX systems.
#pragma once

#include "command/Terminal.h"

namespace horofu {

// Shown text is the locale's: where the locale's codeset is Shift-JIS or CP932 the echoed
// bytes pass unchanged; everywhere else, the C locale included, they become UTF-8. Made by
// main after setlocale(LC_ALL, "").
class PosixTerminal final : public Terminal {
  public:
    PosixTerminal();
    ~PosixTerminal() override;
    PosixTerminal(const PosixTerminal&) = delete;
    PosixTerminal& operator=(const PosixTerminal&) = delete;

    bool IsTerminal(StandardStream stream) const override;
    int Width(StandardStream stream) const override;
    std::string FromProgramText(std::string_view text) const override { return std::string(text); }
    std::string FromShiftJis(std::string_view shiftJis) const override;
    bool ShowsUtf8() const override { return toLocale_ != nullptr; }
    bool Write(StandardStream stream, std::string_view shown) override;
    bool Flush(StandardStream stream) override;
    std::string ReadLine(bool& ended) override;

  private:
    void* toLocale_ = nullptr;  // iconv_t from CP932 to UTF-8, or null
};

}  // namespace horofu
