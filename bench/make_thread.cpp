// Writes a realistic saved thread in Shift-JIS for benchmarks: numbered post headers of both
// forms with names, dates and IDs, Japanese and ASCII body lines, replies, empty lines, CR LF.
// Usage: make_thread BYTES [SEED] > thread.txt
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/ToShiftJis.h"

using horofu::bench::ToShiftJis;

namespace {

const char* const kNames[] = {"名無しさん", "名無しさん＠お腹いっぱい。", "湯けむり探偵",
                              "通りすがり", "ＶＩＰ＠ローカル",           "sage",
                              "774"};
const char* const kBodies[] = {
    "週末に行ける近場の温泉、みんなのおすすめを教えてください。",
    "山あいの小さな共同浴場がいいよ。入浴料は300円、タオルは持参で。",
    "駅からバスで15分、終点の一つ手前で降りる。",
    "持ち物：タオル,石けん,小銭",
    "冬は道が凍るから、\"滑り止め, 手袋\"があると安心。",
    "それな",
    "ｷﾀ━━━━(ﾟ∀ﾟ)━━━━!!",
    "I went there last year and the water was great <3",
    "ソフトクリームが名物らしい。表の看板が目印。",
    "集合は10：00で、帰りは16時のバス。",
    "投稿日は昨日ですが、まだ間に合いますか？",
    "http://example.invalid/onsen/map.html",
    "　　　∧＿∧\t（´・ω・｀）",
    "まとめ：1) 早めに行く 2) 小銭を用意 3) 長湯しない",
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_thread BYTES [SEED] > thread.txt\n");
        return 2;
    }
    const unsigned long long target = std::strtoull(argv[1], nullptr, 10);
    std::mt19937 engine(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20261206u);
    auto random = [&engine] { return static_cast<unsigned>(engine()); };
    iconv_t cd = ::iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 1;

    std::vector<std::string> names, bodies;
    for (const char* n : kNames) names.push_back(ToShiftJis(cd, n));
    for (const char* b : kBodies) bodies.push_back(ToShiftJis(cd, b));
    const std::string nameLabel = ToShiftJis(cd, "名前：");
    const std::string dateLabel = ToShiftJis(cd, "投稿日：");
    const std::string colon = ToShiftJis(cd, "：");
    const char* const days[] = {"日", "月", "火", "水", "木", "金", "土"};
    std::vector<std::string> dayNames;
    for (const char* d : days) dayNames.push_back(ToShiftJis(cd, d));

    std::string out;
    out.reserve(1 << 20);
    unsigned long long written = 0;
    for (unsigned post = 1; written < target; ++post) {
        char when[64];
        std::snprintf(when, sizeof when, "0%u/%02u/%02u(%s) %02u:%02u:%02u ID:%08X", random() % 9,
                      random() % 12 + 1, random() % 28 + 1, dayNames[random() % 7].c_str(),
                      random() % 24, random() % 60, random() % 60, random());
        out.append(std::to_string(post)).append(" ").append(nameLabel);
        out.append(names[random() % names.size()]);
        // Most headers carry the date label; some only "：0…" after the name.
        if (random() % 4 != 0) {
            out.append(" ").append(dateLabel);
        } else {
            out.append(colon);
        }
        out += when;
        out += "\r\n";
        if (post > 1 && random() % 3 == 0) {
            out.append(">>").append(std::to_string(random() % (post - 1) + 1)).append(" \r\n");
        }
        for (unsigned lines = random() % 5 + 1; lines > 0; --lines) {
            out.append(bodies[random() % bodies.size()]).append("\r\n");
        }
        out += "\r\n";
        if (out.size() >= (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            written += out.size();
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    ::iconv_close(cd);
    return 0;
}
