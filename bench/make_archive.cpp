// Writes an archive of board logs for the site benchmark: BOARDS board folders of .dat threads
// in Shift-JIS, in series of parts chained by "前スレ" addresses and "PartN" titles, with
// addresses of other threads (any board, any form) in their posts.
// Usage: make_archive FOLDER THREADS POSTS [BOARDS]
#include <iconv.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/ToShiftJis.h"

using horofu::bench::ToShiftJis;

namespace {

const char* const kBodies[] = {
    "週末に行ける近場の温泉、みんなのおすすめを教えてください。",
    "山あいの小さな共同浴場がいいよ。入浴料は300円、タオルは持参で。",
    "駅からバスで15分、終点の一つ手前で降りる。 <br> 冬は道が凍るから気をつけて。",
    "それな",
    "ｷﾀ━━━━(ﾟ∀ﾟ)━━━━!!",
    "I went there last year and the water was great &lt;3",
    "ソフトクリームが名物らしい。表の看板が目印。 <br>  <br> 帰りは16時のバス。",
    "まとめ：1) 早めに行く 2) 小銭を用意 3) 長湯しない",
};
constexpr unsigned kPartsPerSeries = 25;
constexpr unsigned kFirstKey = 1500000000;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_archive FOLDER THREADS POSTS [BOARDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const unsigned threads = static_cast<unsigned>(std::atoi(argv[2]));
    const unsigned posts = static_cast<unsigned>(std::atoi(argv[3]));
    const unsigned boards = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 3;
    iconv_t cd = ::iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1) || threads == 0 || boards == 0) return 1;
    std::vector<std::string> bodies;
    for (const char* b : kBodies) bodies.push_back(ToShiftJis(cd, b));
    const std::string name = ToShiftJis(cd, "名無しさん");
    const std::string previousMark = ToShiftJis(cd, "前スレ");
    const std::string related = ToShiftJis(cd, "関連スレ");
    const std::string title = ToShiftJis(cd, "温泉総合スレ Part");
    const char* const hosts[] = {"http://hayabusa.example", "https://mi.example",
                                 "ttp://egg.example"};

    std::mt19937 engine(20261207u);
    auto random = [&engine] { return static_cast<unsigned>(engine()); };
    ::mkdir(folder.c_str(), 0777);
    ::mkdir((folder + "/host").c_str(), 0777);
    for (unsigned b = 0; b < boards; ++b) {
        ::mkdir((folder + "/host/board" + std::to_string(b)).c_str(), 0777);
    }
    // Thread t is on board t % boards; on a board, threads are parts of series in key order.
    auto board = [&](unsigned t) { return "board" + std::to_string(t % boards); };
    auto key = [&](unsigned t) { return std::to_string(kFirstKey + t * 1000); };
    std::string out;
    for (unsigned t = 0; t < threads; ++t) {
        const unsigned onBoard = t / boards;
        const unsigned series = onBoard / kPartsPerSeries;
        const unsigned part = onBoard % kPartsPerSeries + 1;
        out.clear();
        long long when = kFirstKey + t * 1000ll;
        for (unsigned p = 1; p <= posts; ++p) {
            when += random() % 300;
            const long long local = when + 9 * 3600;
            const long long days = local / 86400, secs = local % 86400;
            // Civil date from days since 1970 (Japan time).
            long long z = days + 719468, era = z / 146097, doe = z - era * 146097;
            long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
            long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
            long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
            long long y = yoe + era * 400 + (m <= 2);
            char date[96];
            std::snprintf(date, sizeof date,
                          "%04lld/%02lld/%02lld %02lld:%02lld:%02lld.%02u ID:%08X", y, m, d,
                          secs / 3600, secs / 60 % 60, secs % 60, random() % 100, random() % 4096);
            out.append(name).append("<>sage<>").append(date).append("<> ");
            if (p == 1 && part > 1) {
                out.append(previousMark).append(" ").append(hosts[random() % 3]);
                out.append("/test/read.cgi/").append(board(t)).append("/");
                out.append(key(t - boards)).append("/ <br> ");
            }
            if (p > 1 && random() % 3 == 0) {
                out.append("&gt;&gt;")
                    .append(std::to_string(random() % (p - 1) + 1))
                    .append(" <br> ");
            }
            if (random() % 25 == 0) {
                // An address of another thread: of the archive or not, in one of the forms used.
                const unsigned other = random() % (threads + threads / 10);
                const std::string b = board(other), k = key(other);
                out.append(related).append(" ").append(hosts[random() % 3]);
                switch (random() % 4) {
                    case 0:
                        out.append("/test/read.cgi/" + b + "/" + k + "/" +
                                   std::to_string(random() % posts + 1));
                        break;
                    case 1:
                        out.append("/test/read.cgi/" + b + "/" + k + "/l50");
                        break;
                    case 2:
                        out.append("/test/read.cgi?bbs=" + b + "&amp;key=" + k +
                                   "&amp;st=5&amp;to=9");
                        break;
                    default:
                        out.append("/" + b + "/kako/" + k.substr(0, 4) + "/" + k.substr(0, 5) +
                                   "/" + k + ".html");
                }
                out.append(" <br> ");
            }
            out.append(bodies[random() % bodies.size()]).append(" <>");
            if (p == 1) {
                out.append(title).append(std::to_string(part));
                if (series > 0) out.append(" (" + std::to_string(series) + ")");
            }
            out.append("\n");
        }
        const std::string path = folder + "/host/" + board(t) + "/" + key(t) + ".dat";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return 1;
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
    ::iconv_close(cd);
    return 0;
}
