// How many records per second the console echoes once its window is full: starts the console,
// prints the records of a generated 10,000-post thread as the conversion would (each record
// followed by CR LF), and reports the rate.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "console/Console.h"
#include "platform/win32/ConsoleWindow.h"
#include "tests/win32/WindowPixels.h"

namespace horofu {
namespace {

constexpr const char* kName = "\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1";  // 名無しさん
constexpr const char* kNameLabel = "\x96\xbc\x91\x4f\x81\x46";             // 名前：
constexpr const char* kDateLabel = "\x93\x8a\x8d\x65\x93\xfa\x81\x46";     // 投稿日：
constexpr const char* kSunday = "(\x93\xfa)";                              // (日)

constexpr const char* kBodies[] = {
    // それは知らなかった。ありがとう。
    "\x82\xbb\x82\xea\x82\xcd\x92\x6d\x82\xe7\x82\xc8\x82\xa9\x82\xc1\x82\xbd\x81\x42\x82\xa0"
    "\x82\xe8\x82\xaa\x82\xc6\x82\xa4\x81\x42",
    // 昨日の件、どうなりましたか？
    "\x8d\xf0\x93\xfa\x82\xcc\x8c\x8f\x81\x41\x82\xc7\x82\xa4\x82\xc8\x82\xe8\x82\xdc\x82\xb5"
    "\x82\xbd\x82\xa9\x81\x48",
    // まとめると以下のとおりです。
    "\x82\xdc\x82\xc6\x82\xdf\x82\xe9\x82\xc6\x88\xc8\x89\xba\x82\xcc\x82\xc6\x82\xa8\x82\xe8"
    "\x82\xc5\x82\xb7\x81\x42",
    // 　全角スペースで始まる行もある。
    "\x81\x40\x91\x53\x8a\x70\x83\x58\x83\x79\x81\x5b\x83\x58\x82\xc5\x8e\x6e\x82\xdc\x82\xe9"
    "\x8d\x73\x82\xe0\x82\xa0\x82\xe9\x81\x42",
    "\xbf\xb0\xbd\x82\xcd\x82\xc7\x82\xb1\x81\x48",  // ｿｰｽはどこ？
    // 今日の天気は晴れ、明日は曇りのち雨。
    "\x8d\xa1\x93\xfa\x82\xcc\x93\x56\x8b\x43\x82\xcd\x90\xb0\x82\xea\x81\x41\x96\xbe\x93\xfa"
    "\x82\xcd\x93\xdc\x82\xe8\x82\xcc\x82\xbf\x89\x4a\x81\x42",
    // このスレッドは一万件の投稿を含みます。
    "\x82\xb1\x82\xcc\x83\x58\x83\x8c\x83\x62\x83\x68\x82\xcd\x88\xea\x96\x9c\x8c\x8f\x82\xcc"
    "\x93\x8a\x8d\x65\x82\xf0\x8a\xdc\x82\xdd\x82\xdc\x82\xb7\x81\x42",
    "\x97\xb9\x89\xf0",  // 了解
    // 東京都千代田区の駅前で見かけた猫の話をします。（笑）
    "\x93\x8c\x8b\x9e\x93\x73\x90\xe7\x91\xe3\x93\x63\x8b\xe6\x82\xcc\x89\x77\x91\x4f\x82\xc5"
    "\x8c\xa9\x82\xa9\x82\xaf\x82\xbd\x94\x4c\x82\xcc\x98\x62\x82\xf0\x82\xb5\x82\xdc\x82\xb7"
    "\x81\x42\x81\x69\x8f\xce\x81\x6a",
    "\x83\x8f\x83\x8d\x83\x5e\x82\x97\x82\x97\x82\x97",  // ワロタｗｗｗ
    "http://example.invalid/path/to/page.html?id=12345 -- ASCII only, as links often are",
};

// The echoed records of a thread of the given number of posts: a header, one to four body
// lines (now and then a ">>N" reply first), and an empty line per post. Each ends in CR LF.
std::vector<std::string> MakeRecords(int posts) {
    std::mt19937 random(20261206);
    std::vector<std::string> records;
    char header[160];
    for (int post = 1; post <= posts; ++post) {
        const int seconds = post * 37;
        const char* idLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        char id[9] = {};
        for (int i = 0; i < 8; ++i) id[i] = idLetters[random() % 62];
        std::snprintf(header, sizeof header, "%d %s%s %s2026/12/%02d%s %02d:%02d:%02d ID:%s", post,
                      kNameLabel, kName, kDateLabel, 6 + seconds / 86400 % 20, kSunday,
                      seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, id);
        records.emplace_back(header);
        records.back() += "\r\n";
        const int lines = 1 + static_cast<int>(random() % 4);
        for (int line = 0; line < lines; ++line) {
            std::string body;
            if (line == 0 && post > 1 && random() % 3 == 0) {
                body += ">>";
                body += std::to_string(1 + random() % (post - 1));
                body += ' ';
            }
            body += kBodies[random() % (sizeof kBodies / sizeof kBodies[0])];
            body += "\r\n";
            records.push_back(std::move(body));
        }
        records.push_back("\r\n");
    }
    return records;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace
}  // namespace horofu

// echo_bench REPORT [chars] [RECORDS] [DUMP]: "chars" draws one character per call and
// redraws everything after a scroll; RECORDS limits the count (default: all of the thread);
// DUMP names a file for the window's pixels afterwards.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace horofu;
    if (__argc < 2) return 2;
    FILE* report = std::fopen(__argv[1], "w");
    if (report == nullptr) return 2;
    const bool characters = __argc > 2 && std::strcmp(__argv[2], "chars") == 0;
    std::vector<std::string> records = MakeRecords(10000);
    if (__argc > 3 && std::atoi(__argv[3]) > 0)
        records.resize(std::min<size_t>(records.size(), std::atoi(__argv[3])));

    SetConsoleDrawing(characters ? GdiDrawing::CharacterByCharacter : GdiDrawing::Runs);
    if (!StartConsole()) return 1;
    HWND window = ConsoleWindowHandle();
    RECT client{};
    GetClientRect(window, &client);

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const std::string& record : records) ConsolePrint(Text(record));
    QueryPerformanceCounter(&end);
    const double seconds = Seconds(start, end);
    std::fprintf(report, "mode=%s client=%ldx%ld records=%zu seconds=%.3f rate=%.0f\n",
                 characters ? "chars" : "runs", client.right, client.bottom, records.size(),
                 seconds, static_cast<double>(records.size()) / seconds);
    if (__argc > 4)
        std::fprintf(report, "dump=%s\n",
                     testing::DumpClientPixels(window, __argv[4]) ? "ok" : "failed");
    std::fclose(report);
    ExitProcess(0);
}
