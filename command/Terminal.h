// The standard streams as the horofu command uses them: whether one is a terminal, its width,
// text shown in the terminal's encoding, and lines read from the user.
#pragma once

#include <string>
#include <string_view>

namespace horofu {

enum class StandardStream { Input, Output, Error };

// Implemented once per platform (Terminal_posix on a Unix terminal, Terminal_win32 on a
// console). Text comes in three kinds: the program's own (file names as given and translated
// messages: the locale's encoding on POSIX, the ANSI code page on Windows), Shift-JIS (the
// echoed records), and shown text, which is what Write takes: the locale's encoding on POSIX
// (Shift-JIS where that is the locale's codeset, else UTF-8); UTF-8 on Windows, which a
// console shows whatever its code page.
class Terminal {
  public:
    virtual ~Terminal() = default;
    // Whether stream is a terminal (a console on Windows), which gets a progress bar and
    // questions, and whose control bytes are made visible.
    virtual bool IsTerminal(StandardStream stream) const = 0;
    // The terminal's width in columns; 80 when it does not say.
    virtual int Width(StandardStream stream) const = 0;
    // The program's own text as shown.
    virtual std::string FromProgramText(std::string_view text) const = 0;
    // Shift-JIS text as shown; bytes that are not valid CP932 become U+FFFD where shown text
    // is UTF-8.
    virtual std::string FromShiftJis(std::string_view shiftJis) const = 0;
    // Whether shown text is UTF-8 (else Shift-JIS).
    virtual bool ShowsUtf8() const = 0;
    // Writes shown text (UTF-8 search results included) to Output or Error; false when it
    // could not be written.
    virtual bool Write(StandardStream stream, std::string_view shown) = 0;
    // Hands what was written on to the system; false when some of it could not be written.
    virtual bool Flush(StandardStream stream) = 0;
    // One line of standard input in the program's text, without its line end, however long;
    // ended tells that the input ended before a line end came (Ctrl-D, Ctrl-Z).
    virtual std::string ReadLine(bool& ended) = 0;

    // Shown text with its control bytes made visible, for a terminal, which would otherwise
    // obey them: C0 bytes but TAB, and DEL, as ^X; C1 code points of UTF-8 as
    // <U+0080>..<U+009F>. Called for echoed records and file names.
    std::string ShowControls(std::string_view shown) const;
    // The program's text as stream shows it: control bytes made visible on a terminal.
    std::string Shown(StandardStream stream, std::string_view programText) const;
    // Writes one line of the program's text to stream, as Shown.
    void Say(StandardStream stream, std::string_view programText);
};

}  // namespace horofu
