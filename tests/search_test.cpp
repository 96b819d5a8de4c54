// The archive's search index: folding, the sample site's queries, and the update that keeps
// what it is not told of.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "search/SearchCatalog.h"
#include "search/SearchFold.h"
#include "search/SearchIndex.h"
#include "search/SearchQuery.h"
#include "tests/TempFolder.h"
#include "tests/search/SampleSite.h"

namespace horofu {
namespace {

namespace fs = std::filesystem;
using testing::SampleThreads;
using testing::TempFolder;

TEST(SearchFoldTest, ReaderInvisibleDifferencesFoldAwayAndMatchesMapToTheOriginal) {
    // Full-width letters and digits, case, half-width katakana with a voiced mark composed.
    EXPECT_EQ(FoldText("ＰＣ１２３Abc"), FoldText("pc123aBC"));
    EXPECT_EQ(FoldText("\xef\xbd\xb6\xef\xbe\x9e\xef\xbd\xbf\xef\xbe\x98\xef\xbe\x9d"),  // ｶﾞｿﾘﾝ
              FoldText("ガソリン"));
    EXPECT_EQ(FoldText("\xef\xbe\x8a\xef\xbe\x9f"), FoldText("パ"));  // ﾊﾟ
    EXPECT_NE(FoldText("カ"), FoldText("ガ"));
    EXPECT_EQ(FoldText("Straße"), FoldText("STRASSE"));

    // ｶﾞ is one folded character made of two original ones: a match marks both.
    std::u32string line;
    std::size_t start = 0, end = 0;
    ASSERT_TRUE(MatchPost("一行目\nＸｶﾞ代", FoldText("xガ"), line, start, end));
    EXPECT_EQ(EncodeUtf8(line.substr(start, end - start)), "Ｘｶﾞ");
    EXPECT_FALSE(MatchPost("一行目\n二行目", FoldText("目二"), line, start, end));

    // Bytes that are not UTF-8 become U+FFFD, never a character they are not.
    EXPECT_EQ(DecodeUtf8("a\xff\xe3\x81"), U"a\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8("\xc0\xaf\xed\xa0\x80"), std::u32string(5, U'\uFFFD'));
}

// The links of a search's hits, newest first, and its total.
std::vector<std::string> Links(SiteSearch& search, const std::string& query, uint64_t* total,
                               std::size_t limit = 0) {
    SearchResults results;
    std::string error;
    EXPECT_TRUE(search.Find(query, limit, results, error)) << error;
    std::vector<std::string> links;
    for (const SearchHit& hit : results.hits) links.push_back(hit.Link());
    *total = results.total;
    return links;
}

std::string BuildSample(const TempFolder& folder) {
    const std::string site = folder.Path("site");
    fs::create_directory(site);
    SearchIndexUpdate update(site);
    for (const SearchThread& thread : SampleThreads()) update.Put(thread);
    std::string error;
    EXPECT_TRUE(update.Commit(error)) << error;
    return site;
}

TEST(SiteSearchTest, FindsOneCharacterJapaneseAndMixedWidthTextsNewestFirst) {
    TempFolder folder;
    const std::string site = BuildSample(folder);
    SiteSearch search;
    std::string error;
    ASSERT_TRUE(search.Open(site, error)) << error;
    uint64_t total = 0;

    EXPECT_EQ(Links(search, "湯", &total), std::vector<std::string>{});
    EXPECT_EQ(total, 0u);  // names are not searched
    EXPECT_EQ(Links(search, "円", &total), std::vector<std::string>{"onsen/1600000000.html#1"});
    EXPECT_EQ(Links(search, "ｐｃ", &total),
              (std::vector<std::string>{"onsen/1600100000.html#3", "onsen/1600100000.html#1",
                                        "onsen/1600000000.html#3"}));
    EXPECT_EQ(Links(search, "ガソリン", &total),
              (std::vector<std::string>{"onsen/1600100000.html#2", "onsen/1600000000.html#3"}));
    // Two posts at one instant: the later thread's first.
    EXPECT_EQ(Links(search, " 120分 ", &total),
              (std::vector<std::string>{"travel/1599000000.html#2", "travel/1599000000.html#1"}));
    EXPECT_EQ(Links(search, "温泉旅館", &total), std::vector<std::string>{});  // a line break
    EXPECT_EQ(Links(search, "存在しない言葉", &total), std::vector<std::string>{});
    EXPECT_EQ(Links(search, "", &total), std::vector<std::string>{});

    // A limit keeps the newest and still counts every post, for short and long texts.
    EXPECT_EQ(Links(search, "温泉", &total, 2),
              (std::vector<std::string>{"onsen/1600100000.html#2", "travel/1599000000.html#2"}));
    EXPECT_EQ(total, 6u);
    EXPECT_EQ(Links(search, "の温泉", &total, 1),
              std::vector<std::string>{"onsen/1600100000.html#1"});
    EXPECT_EQ(total, 3u);

    // The snippet is the original text around the match, cut where the line goes on.
    SearchResults results;
    ASSERT_TRUE(search.Find("温泉街", 0, results, error));
    ASSERT_EQ(results.hits.size(), 1u);
    const SearchHit& hit = results.hits[0];
    EXPECT_EQ(hit.title, "日帰り旅行の計画");
    EXPECT_EQ(hit.date, "2020/09/02(水) 10:00:00.00 ID:Ij5");
    EXPECT_EQ(hit.name, "旅人");
    EXPECT_EQ(hit.before, "とても長い行の例として、この行には説明が続きます。");
    EXPECT_EQ(hit.match, "温泉街");
    EXPECT_EQ(hit.after,
              "を歩いて、地元の食べ物を食べて、夕方の電車で帰るのが定番の過ごし方ではないでしょうか"
              "。季節ごとに違う");
    EXPECT_FALSE(hit.cutBefore);
    EXPECT_TRUE(hit.cutAfter);
}

// The catalog's threads are packed: many of them, across boards, with a title longer than a
// block and titles put again longer and shorter, read back as they were written.
TEST(SearchCatalogTest, ManyThreadsRoundTripAsWritten) {
    SearchCatalog catalog;
    catalog.next = 3;
    catalog.segments.push_back({2, 1, {{0, 2}, {-1, 1}}});
    const std::string longTitle(70000, 'x');
    for (uint32_t slot = 0; slot < 3000; ++slot) {
        std::string board = "b";  // appended: GCC 12 warns wrongly about "b" + text
        board += std::to_string(slot % 3);
        const std::string key = std::to_string(1600000000 + slot);
        std::string title = "温泉 Part";
        title = slot == 7 ? longTitle : title + std::to_string(slot);
        catalog.threads.Add({2, 2, 1600000000 + slot, slot % 5 + 1, board, key, title});
    }
    catalog.threads.Set(1, {2, 2, 5, 1, "b1", "1600000001", "短い"});
    catalog.threads.Set(2, {2, 2, 6, 1, "b2", "1600000002", "ずっと長くなった題名 Part2"});
    const std::string start =
        "horofuSearch.catalog(1,3,[[2,1,0,2,-1,1]],[\n"
        "[2,2,1600000000,1,\"b0\",\"1600000000\",\"温泉 Part0\"],\n"
        "[2,2,5,1,\"b1\",\"1600000001\",\"短い\"],\n"
        "[2,2,6,1,\"b2\",\"1600000002\",\"ずっと長くなった題名 Part2\"]";
    EXPECT_EQ(catalog.Script().substr(0, start.size()), start);

    SearchCatalog read;
    ASSERT_TRUE(read.Parse(catalog.Script()));
    ASSERT_EQ(read.threads.size(), 3000u);
    EXPECT_EQ(read.Script(), catalog.Script());
    const CatalogThread last = read.threads[2999];
    EXPECT_EQ(last.board, "b2");
    EXPECT_EQ(last.key, "1600002999");
    EXPECT_EQ(last.title, "温泉 Part2999");
    EXPECT_EQ(last.lastTime, 1600002999);
    EXPECT_EQ(last.posts, 5u);
    EXPECT_EQ(read.threads[7].title, longTitle);
    EXPECT_EQ(read.threads[8].title, "温泉 Part8");
    EXPECT_EQ(read.threads.Key(2), "1600000002");
}

// Every file of the index folder with its bytes.
std::map<std::string, std::string> IndexFiles(const std::string& site) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(site + "/search")) {
        files[entry.path().filename().string()] = TempFolder::Read(entry.path().string());
    }
    return files;
}

TEST(SearchIndexUpdateTest, KeepsThreadsNotPutAndRewritesOnlyWhatChanged) {
    TempFolder folder;
    const std::string site = BuildSample(folder);
    const auto before = IndexFiles(site);
    std::string error;
    {  // a run that puts nothing writes nothing
        SearchIndexUpdate update(site);
        ASSERT_TRUE(update.Commit(error)) << error;
        EXPECT_EQ(IndexFiles(site), before);
    }

    // The Part4 thread grows a post (after one that was deleted) and loses a word; put twice,
    // its last copy counts.
    std::vector<SearchThread> threads = SampleThreads();
    SearchThread grown = threads[1];
    grown.posts[1].lines = {"電車で行く。"};
    grown.posts.push_back(
        testing::Post(5, "2020/09/17(木) 07:00:00.00", "名無しさん", {"新しい書き込み：ｶﾞｿﾘﾝ"}));
    for (int run = 0; run < 3; ++run) {
        SearchIndexUpdate update(site);
        update.Put(threads[1]);
        update.Put(grown);
        ASSERT_TRUE(update.Commit(error)) << error;
    }
    const auto after = IndexFiles(site);
    EXPECT_EQ(after.at("t0-0.js"), before.at("t0-0.js"));  // the threads not put keep their text
    EXPECT_EQ(after.at("t2-0.js"), before.at("t2-0.js"));
    EXPECT_EQ(after.count("t1-0.js"), 0u);  // the old text of the grown one goes
    EXPECT_EQ(after.count("t1-3.js"), 1u);

    SiteSearch search;
    ASSERT_TRUE(search.Open(site, error)) << error;
    uint64_t total = 0;
    EXPECT_EQ(Links(search, "ガソリン", &total),
              (std::vector<std::string>{"onsen/1600100000.html#5", "onsen/1600000000.html#3"}));
    EXPECT_EQ(Links(search, "円", &total), std::vector<std::string>{"onsen/1600000000.html#1"});
    EXPECT_EQ(Links(search, "温泉", &total, 1),
              std::vector<std::string>{"travel/1599000000.html#2"});
    EXPECT_EQ(total, 5u);
}

TEST(SearchIndexUpdateTest, RefusesADamagedCatalogAndALinkInTheIndexFolderPlace) {
    TempFolder folder;
    const std::string site = BuildSample(folder);
    TempFolder::Read(site + "/search/catalog.js");
    folder.Write("site/search/catalog.js", "horofuSearch.catalog(7,");
    std::string error;
    SearchIndexUpdate update(site);
    update.Put(SampleThreads()[0]);
    EXPECT_FALSE(update.Commit(error));
    EXPECT_NE(error.find("catalog.js"), std::string::npos) << error;
    SiteSearch search;
    EXPECT_FALSE(search.Open(site, error));
    // Numbers past any the index writes, and threads it never listed, are refused or ignored.
    folder.Write("site/search/catalog.js",
                 "horofuSearch.catalog(1,99999999999999999999999,[[0,1,7,5]],[]);");
    ASSERT_TRUE(search.Open(site, error)) << error;
    SearchResults none;
    EXPECT_TRUE(search.Find("温泉", 0, none, error)) << error;
    EXPECT_EQ(none.total, 0u);

    const std::string other = folder.Path("other");
    fs::create_directory(other);
    fs::create_directory(folder.Path("elsewhere"));
    std::error_code linkError;  // where links cannot be made (Windows without the right) no test
    fs::create_directory_symlink(folder.Path("elsewhere"), other + "/search", linkError);
    if (!linkError) {
        SearchIndexUpdate linked(other);
        linked.Put(SampleThreads()[0]);
        EXPECT_FALSE(linked.Commit(error));
        EXPECT_TRUE(fs::is_empty(folder.Path("elsewhere")));
    }
    EXPECT_FALSE(search.Open(folder.Path("nothing"), error));
    EXPECT_NE(error.find("--site"), std::string::npos) << error;
}

}  // namespace
}  // namespace horofu
