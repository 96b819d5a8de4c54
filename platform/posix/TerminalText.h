// Shift-JIS text shown on a terminal or in a log, in the encoding of the user's locale.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace horofu {

// Converts Shift-JIS text (the echoed records) for output. Where the locale's codeset is
// Shift-JIS or CP932 the bytes pass unchanged; everywhere else, the C locale included, they
// become UTF-8. Bytes that are not valid CP932 become U+FFFD.
class TerminalText {
  public:
    // Reads the codeset of the locale set by setlocale(LC_ALL, "").
    TerminalText();
    ~TerminalText();
    TerminalText(const TerminalText&) = delete;
    TerminalText& operator=(const TerminalText&) = delete;

    std::string Convert(std::string_view shiftJis);
    bool PassesShiftJis() const { return toLocale_ == nullptr; }
    // Text already in the locale's encoding with its control bytes made visible, for a
    // terminal, which would otherwise obey them: C0 bytes but TAB, and DEL, as ^X; C1 code
    // points of UTF-8 as <U+0080>..<U+009F>. Called for echoed records and file names.
    std::string ShowControls(std::string_view localeText) const;

  private:
    void* toLocale_ = nullptr;  // iconv_t from CP932 to UTF-8, or null
};

}  // namespace horofu
