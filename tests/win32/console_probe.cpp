// Brings the console window up under Wine for console_window_test.sh and reports what it saw:
// when StartConsole returned, the window's class and caption; then prints sample lines, sets
// the title when asked, and waits to be closed. Also draws the same text both ways of drawing
// for a comparison of their pixels.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/Messages.h"
#include "console/Console.h"
#include "platform/win32/ConsoleWindow.h"
#include "tests/win32/WindowPixels.h"

namespace horofu {
namespace {

// Thread-like lines: headers, body lines with kanji, kana and half-width kana, a reply, a TAB.
constexpr const char* kSample[] = {
    "1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1 "  // 1 名前：名無しさん
    "\x93\x8a\x8d\x65\x93\xfa\x81\x46"                                     // 投稿日：
    "2026/12/06(\x93\xfa) 12:34:56 ID:AbCd1234\r\n",                       // (日)
    // 今日は雨が降っています。明日は晴れるでしょう。
    "\x8d\xa1\x93\xfa\x82\xcd\x89\x4a\x82\xaa\x8d\x7e\x82\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb7"
    "\x81\x42\x96\xbe\x93\xfa\x82\xcd\x90\xb0\x82\xea\x82\xe9\x82\xc5\x82\xb5\x82\xe5\x82\xa4"
    "\x81\x42\r\n",
    "\r\n",
    "2 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1 "  // 2 名前：名無しさん
    "\x93\x8a\x8d\x65\x93\xfa\x81\x46"                                     // 投稿日：
    "2026/12/06(\x93\xfa) 12:35:10 ID:XyZ98765\r\n",                       // (日)
    ">>1\r\n",
    // カタカナ、ひらがな、漢字、ｶﾀｶﾅ(半角) と ASCII が一行に。
    "\x83\x4a\x83\x5e\x83\x4a\x83\x69\x81\x41\x82\xd0\x82\xe7\x82\xaa\x82\xc8\x81\x41\x8a\xbf"
    "\x8e\x9a\x81\x41\xb6\xc0\xb6\xc5(\x94\xbc\x8a\x70) \x82\xc6 ASCII \x82\xaa\x88\xea\x8d\x73"
    "\x82\xc9\x81\x42\r\n",
    // TAB, then タブの後：表示の確認です！
    "\t\x83\x5e\x83\x75\x82\xcc\x8c\xe3\x81\x46\x95\x5c\x8e\xa6\x82\xcc\x8a\x6d\x94\x46\x82\xc5"
    "\x82\xb7\x81\x49\r\n",
    // ○×△□★→ 全角記号も出るか
    "\x81\x9b\x81\x7e\x81\xa2\x81\xa0\x81\x9a\x81\xa8 \x91\x53\x8a\x70\x8b\x4c\x8d\x86\x82\xe0"
    "\x8f\x6f\x82\xe9\x82\xa9\r\n",
    "ASCII: The quick brown fox jumps over the lazy dog. 0123456789 !\"#$%&'()*+,-./\r\n",
};

// Stray bytes drawn as characters: a lone CR and LF (whose glyphs are wider than a cell), a
// lead byte before a byte that cannot follow it, and one at the very end.
constexpr char kStray[] = "stray\rCR\nLF \x82\x0d! end\x82\r\n";

FILE* report = nullptr;

void Report(const char* key, const std::string& value) {
    std::fprintf(report, "%s=%s\n", key, value.c_str());
    std::fflush(report);
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool FileThere(const char* name) {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

// Waits up to milliseconds while letting Wine put what was drawn on the screen: a thread
// that waits for messages flushes the window surfaces, one that sleeps does not.
void Idle(DWORD milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Pixel mode: the sample printed over and over (so that the window scrolls many times) in
// one way of drawing, the window's pixels saved to DUMP-1.ppm; then the stray bytes and a few
// more lines, and the pixels saved to DUMP-2.ppm, for comparison with the other way.
int DrawAndDump(bool characters, const std::string& dump) {
    SetConsoleDrawing(characters ? GdiDrawing::CharacterByCharacter : GdiDrawing::Runs);
    if (!StartConsole()) return 1;
    const auto sample = [](int round) {
        ConsolePrint(Text("round " + std::to_string(round) + "\t"));
        for (const char* line : kSample) ConsolePrint(Text(line));
    };
    for (int round = 0; round < 12; ++round) sample(round);
    Idle(200);
    const bool first = testing::DumpClientPixels(ConsoleWindowHandle(), (dump + "-1.ppm").c_str());
    ConsolePrint(Text(kStray));
    sample(12);
    Idle(200);
    const bool second = testing::DumpClientPixels(ConsoleWindowHandle(), (dump + "-2.ppm").c_str());
    Report("dump", first && second ? "ok" : "failed");
    return 0;
}

}  // namespace
}  // namespace horofu

// console_probe REPORT: reports into the file REPORT; sets the title once a file named
// REPORT.title appears; ends only when the console window is closed.
// console_probe REPORT runs|chars DUMP: pixel mode (see DrawAndDump).
// console_probe REPORT taken: the class "PROMPT" is taken before StartConsole, which then
// cannot make its window.
// console_probe REPORT minimized: runs console_probe REPORT started minimised, as a shortcut
// set to "Minimized" starts a program, and answers its exit code.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace horofu;
    if (__argc < 2) return 2;
    const std::string reportPath = __argv[1];
    if (__argc == 3 && std::strcmp(__argv[2], "minimized") == 0) {
        std::string commandLine = "console_probe \"" + reportPath + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINNOACTIVE;
        PROCESS_INFORMATION child{};
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &child)) {
            return 2;
        }
        WaitForSingleObject(child.hProcess, INFINITE);
        DWORD status = 2;
        GetExitCodeProcess(child.hProcess, &status);
        return static_cast<int>(status);
    }
    report = std::fopen(reportPath.c_str(), "w");
    if (report == nullptr) return 2;
    if (__argc == 4) ExitProcess(DrawAndDump(std::strcmp(__argv[2], "chars") == 0, __argv[3]));
    if (__argc == 3 && std::strcmp(__argv[2], "taken") == 0) {
        WNDCLASSEXA taken{};
        taken.cbSize = sizeof taken;
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = GetModuleHandleA(nullptr);
        taken.lpszClassName = "PROMPT";
        if (RegisterClassExA(&taken) == 0) return 2;
    }

    SetConsoleClosedHandler([] { Report("closed_handler", "ran"); });
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    const bool started = StartConsole();
    QueryPerformanceCounter(&after);
    Report("started", started ? "yes" : "no");
    Report("start_ms", std::to_string(Milliseconds(before, after)));
    if (!started) return 1;

    HWND window = ConsoleWindowHandle();
    Report("window_valid", IsWindow(window) && IsWindowVisible(window) ? "yes" : "no");
    Report("iconic", IsIconic(window) ? "yes" : "no");
    // Painted once: nothing of the window is left waiting for a paint.
    Report("paint_pending", GetUpdateRect(window, nullptr, FALSE) ? "yes" : "no");
    char text[256] = {};
    GetClassNameA(window, text, sizeof text);
    Report("class", text);
    GetWindowTextA(window, text, sizeof text);
    Report("caption", text);

    for (const char* line : kSample) ConsolePrint(Text(line));
    ConsolePrint(Text(kStray));
    Idle(100);
    Report("printed", "yes");

    const std::string titleSignal = reportPath + ".title";
    for (;;) {
        if (FileThere(titleSignal.c_str())) {
            Report("title_set", SetConsoleTitle(Text(message::kTitle)) ? "yes" : "no");
            DeleteFileA(titleSignal.c_str());
        }
        Idle(50);
    }
}
