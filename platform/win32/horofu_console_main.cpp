// horofu.exe, the horofu command as a Windows console program: the arguments from UTF-16 to
// the ANSI code page, the console as its terminal, and Ctrl-C stopping a conversion so that
// its half-written page is removed.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <clocale>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/SiteWorkers.h"
#include "archive/ThreadedSiteWorkers.h"
#include "command/Command.h"
#include "platform/win32/Terminal_win32.h"
#include "platform/win32/WideText_win32.h"

namespace {

// What --help says of the options that mean something else here.
constexpr char kHelpNote[] =
    "\n"
    "On Windows: --input-encoding takes only the encodings horofu reads itself (UTF-8,\n"
    "Shift_JIS or CP932, EUC-JP, UTF-16LE, UTF-16BE), not every iconv name; messages are\n"
    "in English, and in UTF-8 where they go to a pipe or file; Ctrl-C removes a half-written\n"
    "page and ends the run with the system's exit code for it (0xC000013A), not 128+N.\n";

// The conversion Ctrl-C stops, and the thread that runs it: shared with the console's
// control handler, which Windows calls on a thread of its own.
horofu::ConversionStop gStop;
HANDLE gMainThread = nullptr;

// Called by Windows on Ctrl-C, Ctrl-Break or the console's closing: asks the conversion to
// stop and waits until its page file is removed, then ends the program as Windows ends one on
// Ctrl-C. A conversion waiting for input (a pipe) sees no stop: its read is cancelled, which
// ends it as a failed read does. Five seconds at most.
BOOL WINAPI OnConsoleControl(DWORD /*event*/) {
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([stopped] {
        gStop.RequestStopAndWait();
        stopped->set_value();
    }).detach();
    for (int i = 0;
         i < 50 && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready;
         ++i) {
        if (gMainThread != nullptr) ::CancelSynchronousIo(gMainThread);
    }
    // Not ExitProcess: the main thread may still be running, and its objects must not be
    // destroyed under it.
    ::TerminateProcess(::GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

// Called by the site command once its options are read. The threads convert side by side on
// threads of this process, as many as -j asks (one per core by default).
std::unique_ptr<horofu::SiteWorkers> MakeSiteWorkers(unsigned jobs) {
    return std::make_unique<horofu::ThreadedSiteWorkers>(jobs);
}

// An argument in the ANSI code page, as the file calls take paths; false when some character
// has no spelling there (a best fit could name another file: ＼ as \).
bool ProgramText(const wchar_t* argument, std::string& text) {
    const int size = static_cast<int>(wcslen(argument));
    text.clear();
    if (size == 0) return true;
    BOOL lost = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, argument, size, nullptr,
                                             0, nullptr, &lost);
    if (length <= 0 || lost) return false;
    text.resize(static_cast<std::size_t>(length));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, argument, size, text.data(), length,
                          nullptr, nullptr);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    horofu::ConsoleTerminal terminal;
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        // The program's own path is only a name in messages.
        if (!ProgramText(argv[i], arguments[static_cast<std::size_t>(i)]) && i > 0) {
            const std::wstring told = std::wstring(L"horofu: '") + argv[i] +
                                      L"' cannot be spelled in this system's code page; rename "
                                      L"it, or change the system locale\n";
            terminal.Write(horofu::StandardStream::Error,
                           terminal.ShowControls(horofu::Narrow(CP_UTF8, told)) + "\n");
            return 2;
        }
    }
    // The archive walks folders with the standard library, which converts narrow paths by the
    // C library's locale: it must be the system code page's, as every other path here is.
    std::setlocale(LC_CTYPE, "");
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                      &gMainThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    horofu::CommandPlatform platform{terminal, MakeSiteWorkers, &gStop, kHelpNote, '\\'};
    return horofu::RunHorofuCommand(arguments, platform);
}
