// Shift-JIS text shown on a terminal or in a log, in the encoding of the user's locale.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace horofu {

// Converts the program's Shift-JIS texts (messages, echoed records) for output. Where the
// locale's codeset is Shift-JIS or CP932 the bytes pass unchanged; everywhere else, the C
// locale included, they become UTF-8. Bytes that are not valid CP932 become U+FFFD.
class TerminalText {
  public:
    // Reads the codeset of the locale set by setlocale(LC_ALL, "").
    TerminalText();
    ~TerminalText();
    TerminalText(const TerminalText&) = delete;
    TerminalText& operator=(const TerminalText&) = delete;

    std::string Convert(std::string_view shiftJis);
    // UTF-8 text of the program's own (help, summaries) in the same encoding.
    std::string FromUtf8(std::string_view utf8);
    void Write(std::FILE* stream, std::string_view shiftJis) {
        const std::string out = Convert(shiftJis);
        std::fwrite(out.data(), 1, out.size(), stream);
    }
    bool PassesShiftJis() const { return toLocale_ == nullptr; }

  private:
    void* toLocale_ = nullptr;  // iconv_t from CP932 to UTF-8, or null
    void* fromUtf8_ = nullptr;  // iconv_t from UTF-8 to CP932 where the locale is Shift-JIS
};

}  // namespace horofu
