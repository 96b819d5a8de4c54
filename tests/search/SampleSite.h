// A small archive for the search tests: three threads on two boards, with full-width and
// half-width forms, cases, a line break between two words, markup and a control byte in the
// text, and dates that interleave across threads.
#pragma once

#include <string>
#include <vector>

#include "search/SearchIndex.h"

namespace horofu::testing {

inline SearchPost Post(uint32_t number, std::string date, std::string name,
                       std::vector<std::string> lines) {
    return {number, std::move(date), std::move(name), std::move(lines)};
}

inline std::vector<SearchThread> SampleThreads() {
    return {
        {"onsen",
         "1600000000",
         "近場の温泉を語るスレ Part3",
         {Post(1, "2020/09/13(日) 21:26:40.12 ID:Qm3tRa8x", "名無しさん",
               {"週末に行ける近場の温泉、おすすめを教えてください。", "予算は一万円くらい。"}),
          Post(2, "2020/09/13(日) 21:40:02.55 ID:kT7pWz1c", "湯けむり探偵",
               {">>1", "箱根の温泉", "旅館なら安いところもある"}),
          Post(3, "2020/09/14(月) 08:00:00.00 ID:Zx9", "名無しさん",
               {"ＰＣから書き込み。ｶﾞｿﾘﾝ代も考えてね"}),
          Post(4, "2020/09/15(火) 12:00:00.00 ID:Ab1", "名無しさん",
               {"<b>太字</b> & \"引用\" \x1b[31m赤\x1b[m"})}},
        {"onsen",
         "1600100000",
         "近場の温泉を語るスレ Part4",
         {Post(1, "2020/09/14(月) 09:30:00.00 ID:Cd2", "名無しさん",
               {"前スレ 近場の温泉を語るスレ Part3", "pcで見てる人も多いね"}),
          Post(2, "2020/09/16(水) 22:10:00.00 ID:Ef3", "名無しさん",
               {"ガソリン高いから電車で行く。温泉まんじゅうを買った。"}),
          Post(3, "2020/09/16(水) 23:59:59.99 ID:Gh4", "名無しさん",
               {"Pc 版の地図アプリが便利。ﾊﾟｿｺﾝでも見られる"})}},
        {"travel",
         "1599000000",
         "日帰り旅行の計画",
         {Post(1, "2020/09/02(水) 10:00:00.00 ID:Ij5", "旅人",
               {"日帰りで行ける場所を集めよう。東京から１２０分以内で。",
                "とても長い行の例として、この行には説明が続きます。温泉街を歩いて、"
                "地元の食べ物を食べて、夕方の電車で帰るのが定番の過ごし方ではないでしょうか。"
                "季節ごとに違う楽しみがあります。"}),
          Post(2, "2020/09/15(火) 12:00:00.00 ID:Kl6", "名無しさん", {"120分なら温泉も行ける"})}},
    };
}

// A thread of more posts holding one word than a page of results shows, in text that is
// smaller in UTF-16 than in UTF-8.
inline SearchThread ManyPostsThread() {
    SearchThread thread{"many", "1500000000", "連番スレ", {}};
    for (uint32_t n = 1; n <= 130; ++n) {
        const std::string minute = std::to_string(10 + n / 60),
                          second = std::to_string(10 + n % 50);
        thread.posts.push_back(
            Post(n, "2017/07/14(金) 02:" + minute + ":" + second, "名無しさん",
                 {"連番の書き込み" + std::to_string(n),
                  "日本語ばかりの長い行が続くと、このスレの文字は二バイトずつで足りる"}));
    }
    return thread;
}

// A stand-in for the page the archive writes for a thread: one element per post, its id the
// post's number, as the search results link to.
inline std::string StandInPage(const SearchThread& thread) {
    std::string page = "<!DOCTYPE html><meta charset=\"utf-8\"><title>" + thread.title + "</title>";
    for (const SearchPost& post : thread.posts) {
        page += "<dl><dt id=\"" + std::to_string(post.number) + "\">" +
                std::to_string(post.number) + "</dt><dd>";
        for (const std::string& line : post.lines) page += line + "<br>";
        page += "</dd></dl>\n";
    }
    return page;
}

}  // namespace horofu::testing
