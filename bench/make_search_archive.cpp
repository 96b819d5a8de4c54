// Builds the search index of a generated archive, for the search benchmarks: BOARDS boards of
// THREADS threads of POSTS posts with Japanese and ASCII text of many words (drawn by Zipf's
// law, so that some are common and most rare), a common word (温泉) and a rare eight-character
// phrase (秘湯の露天風呂跡) in three posts. Prints the time and peak memory of the build, the
// index's size and the size the threads have as board .dat files in Shift-JIS.
// Usage: make_search_archive SITE [THREADS [POSTS]]       a full build
//        make_search_archive SITE THREADS POSTS --grow K  thread K grown by ten posts, put alone
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "search/SearchIndex.h"

namespace {

using horofu::SearchPost;
using horofu::SearchThread;

const char* const kParticles[] = {"は",   "が",   "を",   "に",   "で",   "の",     "と",
                                  "も",   "から", "まで", "です", "ます", "だけど", "けど",
                                  "よね", "かな", "だよ", "って", "。",   "、",     "！",
                                  "？",   "ｗ",   "www",  " ",    "…"};
const char* const kCommon[] = {"温泉", "今日", "スレ", "旅館", "電車", "露天", "駅前", "週末"};
const char* const kRare = "秘湯の露天風呂跡";

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// The bytes a UTF-8 text takes in Shift-JIS: one for ASCII and half-width katakana, else two.
std::size_t ShiftJisSize(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        const bool halfKana = len == 3 && b == 0xEF &&
                              ((static_cast<unsigned char>(s[i + 1]) == 0xBD &&
                                static_cast<unsigned char>(s[i + 2]) >= 0xA1) ||
                               static_cast<unsigned char>(s[i + 1]) == 0xBE);
        n += len == 1 || halfKana ? 1 : 2;
        i += len;
    }
    return n;
}

class Words {
  public:
    Words() {
        std::mt19937 random(7);
        std::vector<char32_t> kanji;
        for (int i = 0; i < 1800; ++i) kanji.push_back(0x4E00 + random() % 0x5100);
        for (const char* common : kCommon) words_.push_back(common);
        for (int i = 0; i < 6000; ++i) {
            std::string w;
            const int kind = random() % 10;
            const int length = 2 + random() % 3;
            for (int k = 0; k < length; ++k) {
                if (kind < 6) {
                    w += Utf8(kanji[random() % kanji.size()]);
                } else if (kind < 9) {
                    w += Utf8(0x30A2 + random() % 80);  // katakana
                } else {
                    w += static_cast<char>('a' + random() % 26);
                }
            }
            words_.push_back(w);
        }
        double sum = 0;
        for (std::size_t r = 0; r < words_.size(); ++r) cumulative_.push_back(sum += 1.0 / (r + 3));
    }
    const std::string& Pick(std::mt19937& random) const {
        const double x = std::uniform_real_distribution<double>(0, cumulative_.back())(random);
        return words_[std::lower_bound(cumulative_.begin(), cumulative_.end(), x) -
                      cumulative_.begin()];
    }

  private:
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

// Thread t of the archive, the same on every run; grown by ten posts when asked.
SearchThread MakeThread(const Words& words, int t, int threads, int posts, bool grown,
                        std::size_t* datSize) {
    std::mt19937 random(1000 + t);
    static const char* const kBoards[] = {"onsen", "travel", "news"};
    SearchThread thread;
    thread.board = kBoards[t % 3];
    // Threads follow one another in time, each overlapping the next few, as on a board.
    const int64_t start = 1500000000 + int64_t{t} * 3600 * 6;
    thread.key = std::to_string(start);
    thread.title = words.Pick(random) + "について語るスレ Part" + std::to_string(t / 3 + 1);
    const int count = posts + (grown ? 10 : 0);
    std::size_t size = 0;
    for (int n = 1; n <= count; ++n) {
        SearchPost post;
        post.number = n;
        const int64_t when = start + int64_t{n} * 3600 * 24 / posts;
        const time_t shown = static_cast<time_t>(when + 9 * 3600);
        std::tm tm{};
        gmtime_r(&shown, &tm);
        char date[64];
        static const char* const kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
        std::snprintf(date, sizeof date, "%04d/%02d/%02d(%s) %02d:%02d:%02d.%02d",
                      tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, kDays[tm.tm_wday], tm.tm_hour,
                      tm.tm_min, tm.tm_sec, static_cast<int>(random() % 100));
        post.date = date;
        post.name = random() % 10 < 8 ? "名無しさん" : words.Pick(random) + "◆" + "x7Qa2";
        const int lines = 1 + random() % 3;
        if (n > 1 && random() % 4 == 0)
            post.lines.push_back(">>" + std::to_string(1 + random() % n));
        for (int l = 0; l < lines; ++l) {
            std::string line;
            const int pieces = 3 + random() % 6;
            for (int p = 0; p < pieces; ++p) {
                line += words.Pick(random);
                line += kParticles[random() % (sizeof kParticles / sizeof *kParticles)];
            }
            post.lines.push_back(line);
        }
        if ((t == threads / 3 || t == threads / 2 || t == threads - 5) && n == posts / 2) {
            post.lines.push_back(std::string("昔ここに") + kRare + "があったらしい");
        }
        // name<>mail<>date ID<>body with <br>s<>title, LF
        std::string body;
        for (const std::string& line : post.lines) body += (body.empty() ? "" : " <br> ") + line;
        size += ShiftJisSize(post.name) + 4 + 4 + 2 + post.date.size() + 12 + 2 +
                ShiftJisSize(body) + 2 + (n == 1 ? ShiftJisSize(thread.title) : 0) + 1;
        thread.posts.push_back(std::move(post));
    }
    *datSize += size;
    return thread;
}

uint64_t FolderSize(const std::filesystem::path& folder) {
    uint64_t size = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) size += entry.file_size();
    }
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: make_search_archive SITE [THREADS [POSTS [--grow K]]]\n", stderr);
        return 2;
    }
    const std::string site = argv[1];
    const int threads = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int posts = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int grow = argc > 5 && std::strcmp(argv[4], "--grow") == 0 ? std::atoi(argv[5]) : -1;
    std::filesystem::create_directories(site);
    const Words words;
    const auto start = std::chrono::steady_clock::now();
    horofu::SearchIndexUpdate update(site);
    std::size_t datSize = 0;
    if (grow >= 0) {
        update.Put(MakeThread(words, grow, threads, posts, true, &datSize));
    } else {
        for (int t = 0; t < threads; ++t)
            update.Put(MakeThread(words, t, threads, posts, false, &datSize));
    }
    std::string error;
    if (!update.Commit(error)) {
        std::fprintf(stderr, "make_search_archive: %s\n", error.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const uint64_t index = FolderSize(std::filesystem::path(site) / "search");
    std::printf("%s: %.2f s, peak memory %.1f MiB\n", grow >= 0 ? "one thread grown" : "full build",
                seconds, usage.ru_maxrss / 1024.0);
    if (grow < 0) {
        std::printf("threads as .dat files: %.1f MB; index: %.1f MB (%.2fx)\n", datSize / 1e6,
                    index / 1e6, static_cast<double>(index) / static_cast<double>(datSize));
    }
    return 0;
}
