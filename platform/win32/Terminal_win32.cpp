// The command's terminal on Windows: GetConsoleMode tells a console, its screen buffer its
// width; text goes to a console with WriteConsoleW and to anything else as UTF-8 bytes.
#include "platform/win32/Terminal_win32.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/WideText_win32.h"
#include "runtime/JapaneseDecoders.h"

namespace horofu {
namespace {

// Output is written in blocks of this size when it is no console.
constexpr std::size_t kBlock = 64 * 1024;

HANDLE Handle(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return ::GetStdHandle(STD_INPUT_HANDLE);
        case StandardStream::Output:
            return ::GetStdHandle(STD_OUTPUT_HANDLE);
        case StandardStream::Error:
            break;
    }
    return ::GetStdHandle(STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// Erases a console line from the cursor to its end, as "\x1b[K" does where escapes work.
void EraseToLineEnd(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(console, &info)) return;
    const DWORD count = static_cast<DWORD>(info.dwSize.X - info.dwCursorPosition.X);
    DWORD written = 0;
    ::FillConsoleOutputCharacterW(console, L' ', count, info.dwCursorPosition, &written);
    ::FillConsoleOutputAttribute(console, info.wAttributes, count, info.dwCursorPosition, &written);
}

}  // namespace

ConsoleTerminal::ConsoleTerminal() {
    // Newer consoles obey the escape sequences the progress bar and the search's highlight
    // use once asked to; older ones (and Wine's) are served by EraseToLineEnd.
    for (StandardStream stream : {StandardStream::Output, StandardStream::Error}) {
        const HANDLE console = Handle(stream);
        DWORD mode = 0;
        if (IsConsole(console) && ::GetConsoleMode(console, &mode)) {
            escapes_[static_cast<int>(stream)] =
                ::SetConsoleMode(console, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */);
        }
    }
}

ConsoleTerminal::~ConsoleTerminal() {
    Flush(StandardStream::Output);
}

bool ConsoleTerminal::IsTerminal(StandardStream stream) const {
    return IsConsole(Handle(stream));
}

int ConsoleTerminal::Width(StandardStream stream) const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(Handle(stream), &info)) return 80;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? width : 80;
}

std::string ConsoleTerminal::FromProgramText(std::string_view text) const {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return Narrow(CP_UTF8, Wide(CP_ACP, text));
    }
    return std::string(text);  // ASCII, as most messages are
}

std::string ConsoleTerminal::FromShiftJis(std::string_view shiftJis) const {
    // The core's own CP932 table, as the Linux command's iconv reads it: an invalid byte
    // becomes U+FFFD, where Windows would make it a katakana middle dot.
    Cp932Decoder decoder;
    std::string out;
    decoder.Decode(shiftJis, true, out);
    return out;
}

bool ConsoleTerminal::Write(StandardStream stream, std::string_view shown) {
    const HANDLE handle = Handle(stream);
    if (IsConsole(handle)) {
        if (stream == StandardStream::Output) Flush(stream);
        return WriteToConsole(handle, shown);
    }
    if (stream != StandardStream::Output) return WriteBytes(handle, shown);
    outputBuffer_.append(shown);
    if (outputBuffer_.size() >= kBlock) return Flush(stream);
    return !outputFailed_;
}

bool ConsoleTerminal::Flush(StandardStream stream) {
    if (stream != StandardStream::Output) return true;
    if (!outputBuffer_.empty()) {
        if (!WriteBytes(Handle(stream), outputBuffer_)) outputFailed_ = true;
        outputBuffer_.clear();
    }
    return !outputFailed_;
}

bool ConsoleTerminal::WriteToConsole(void* console, std::string_view shown) {
    const bool escapes = escapes_[console == Handle(StandardStream::Output) ? 1 : 2];
    bool ok = true;
    while (!shown.empty()) {
        // Without escapes, "\x1b[K" is done by hand and the highlight's colours are left out.
        std::size_t cut = escapes ? std::string_view::npos : shown.find('\x1b');
        const std::wstring wide = Wide(CP_UTF8, shown.substr(0, cut));
        DWORD written = 0;
        if (!wide.empty() && !::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()),
                                              &written, nullptr)) {
            ok = false;
        }
        if (cut == std::string_view::npos) break;
        shown.remove_prefix(cut + 1);
        if (shown.substr(0, 2) == "[K") EraseToLineEnd(console);
        if (!shown.empty() && shown[0] == '[') {
            const std::size_t end = shown.find_first_of("ABCDEFGHJKSTfmsu");
            shown.remove_prefix(end == std::string_view::npos ? shown.size() : end + 1);
        }
    }
    return ok;
}

bool ConsoleTerminal::WriteBytes(void* handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) ||
            written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::string ConsoleTerminal::ReadLine(bool& ended) {
    ended = false;
    const HANDLE input = Handle(StandardStream::Input);
    if (IsConsole(input)) {
        // Typed text comes as UTF-16, whatever the console's code page; Ctrl-Z at the start
        // of a line is the end of the input.
        std::wstring line;
        for (;;) {
            wchar_t c = 0;
            DWORD got = 0;
            if (!::ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) {
                ended = true;
                break;
            }
            if (c == L'\n') break;
            if (c != L'\r') line += c;
        }
        if (line == L"\x1a") {
            ended = true;
            line.clear();
        }
        return Narrow(CP_ACP, line);
    }
    std::string line;
    for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!::ReadFile(input, &c, 1, &got, nullptr) || got == 0) {
            ended = true;
            break;
        }
        if (c == '\n') break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace horofu
