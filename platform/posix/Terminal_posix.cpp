// The command's terminal on POSIX systems: isatty, the window size, and Shift-JIS converted
// to the locale's encoding with glibc's iconv.
#include <iconv.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/Terminal_posix.h"
#include "runtime/EncodingNames.h"

namespace horofu {
namespace {

bool IsShiftJisCodeset(const std::string& name) {
    return EncodingFromName(name) == Encoding::ShiftJis;
}

int Descriptor(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STDIN_FILENO;
        case StandardStream::Output:
            return STDOUT_FILENO;
        case StandardStream::Error:
            break;
    }
    return STDERR_FILENO;
}

std::FILE* Stream(StandardStream stream) {
    return stream == StandardStream::Output ? stdout : stderr;
}

// Runs iconv over the whole input; an invalid or unconvertible byte becomes replacement.
std::string Run(void* handle, std::string_view in, std::string_view replacement) {
    auto cd = static_cast<iconv_t>(handle);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char chunk[4096];
    while (srcLeft > 0) {
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or a character cut off at the end: replace one byte and go on.
            out.append(replacement);
            ++src;
            --srcLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace

PosixTerminal::PosixTerminal() {
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset != nullptr && IsShiftJisCodeset(codeset)) return;
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd != reinterpret_cast<iconv_t>(-1)) toLocale_ = cd;
}

PosixTerminal::~PosixTerminal() {
    if (toLocale_ != nullptr) ::iconv_close(static_cast<iconv_t>(toLocale_));
}

bool PosixTerminal::IsTerminal(StandardStream stream) const {
    return ::isatty(Descriptor(stream)) == 1;
}

int PosixTerminal::Width(StandardStream stream) const {
    struct winsize ws {};
    if (::ioctl(Descriptor(stream), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

std::string PosixTerminal::FromShiftJis(std::string_view shiftJis) const {
    if (toLocale_ == nullptr) return std::string(shiftJis);
    return Run(toLocale_, shiftJis, "\xEF\xBF\xBD");
}

bool PosixTerminal::Write(StandardStream stream, std::string_view shown) {
    return std::fwrite(shown.data(), 1, shown.size(), Stream(stream)) == shown.size();
}

bool PosixTerminal::Flush(StandardStream stream) {
    return std::fflush(Stream(stream)) == 0;
}

std::string PosixTerminal::ReadLine(bool& ended) {
    std::string line;
    ended = false;
    for (int c; (c = std::fgetc(stdin)) != '\n';) {
        if (c == EOF) {
            ended = true;
            break;
        }
        line += static_cast<char>(c);
    }
    return line;
}

}  // namespace horofu
