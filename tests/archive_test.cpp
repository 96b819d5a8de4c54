// The archive's parts that decide links and chains: thread addresses, series titles, post
// instants, the record and facts that carry them from run to run and process to process, and
// conversions run side by side in threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/PostInstant.h"
#include "archive/SeriesTitle.h"
#include "archive/SiteBuild.h"
#include "archive/SiteFile.h"
#include "archive/SiteRecord.h"
#include "archive/SiteTable.h"
#include "archive/ThreadAddress.h"
#include "archive/ThreadFacts.h"
#include "archive/ThreadPeek.h"
#include "archive/ThreadedSiteWorkers.h"
#include "tests/TempFolder.h"

namespace horofu {
namespace {

TEST(ThreadAddress, FormsInUseLeadToTheirPost) {
    struct Case {
        const char* address;
        bool thread;
        const char* board;
        const char* key;
        uint32_t post, lastN;
    };
    const Case cases[] = {
        {"http://a.example/test/read.cgi/news/1234567890/", true, "news", "1234567890", 0, 0},
        {"https://a.example/test/read.cgi/news/1234567890", true, "news", "1234567890", 0, 0},
        {"ttp://a.example/test/read.cgi/news/1234567890/12", true, "news", "1234567890", 12, 0},
        {"ttps://a.example/test/read.cgi/news/1234567890/12-15", true, "news", "1234567890", 12, 0},
        {"http://a.example/test/read.cgi/news/1234567890/-15", true, "news", "1234567890", 0, 0},
        {"http://a.example/test/read.cgi/news/1234567890/12-", true, "news", "1234567890", 12, 0},
        {"http://a.example/test/read.cgi/news/1234567890/l50", true, "news", "1234567890", 0, 50},
        {"http://a.example/test/read.cgi/news/1234567890/l50n", true, "news", "1234567890", 0, 50},
        {"http://a.example/test/read.cgi/news/1234567890/7n", true, "news", "1234567890", 7, 0},
        {"http://a.example/test/read.cgi?bbs=game&key=1111111111&st=3&to=9", true, "game",
         "1111111111", 3, 0},
        {"http://a.example/test/read.cgi?key=1111111111&bbs=game", true, "game", "1111111111", 0,
         0},
        {"http://a.example/news/kako/1234/12345/1234567890.html", true, "news", "1234567890", 0, 0},
        // Not threads: no key, a key that is not a number, a page that is not a past log.
        {"http://a.example/test/read.cgi/news/", false, "", "", 0, 0},
        {"http://a.example/test/read.cgi/news/abc/", false, "", "", 0, 0},
        {"http://a.example/blog/entry.html", false, "", "", 0, 0},
        {"http://a.example/1234567890.html", false, "", "", 0, 0},
        {"ftp://a.example/test/read.cgi/news/1234567890/", false, "", "", 0, 0},
    };
    for (const Case& c : cases) {
        ThreadAddress a;
        ASSERT_EQ(ParseThreadAddress(c.address, a), c.thread) << c.address;
        if (!c.thread) continue;
        EXPECT_EQ(a.board, c.board) << c.address;
        EXPECT_EQ(a.key, c.key) << c.address;
        EXPECT_EQ(a.post, c.post) << c.address;
        EXPECT_EQ(a.lastN, c.lastN) << c.address;
    }
}

// Whether b reads as the part after a: one shape, part numbers n and n + 1.
bool Follows(const char* a, const char* b) {
    for (const SeriesReading& ra : SeriesReadings(a)) {
        for (const SeriesReading& rb : SeriesReadings(b)) {
            if (ra.shape == rb.shape && ra.part + 1 == rb.part) return true;
        }
    }
    return false;
}

TEST(SeriesTitle, PartsDifferOnlyInTheirNumber) {
    EXPECT_TRUE(Follows("News Part12", "News Part13"));
    // Ｐａｒｔ１４: full-width letters and digits
    EXPECT_TRUE(Follows("News Part13",
                        "News \xEF\xBC\xB0\xEF\xBD\x81\xEF\xBD\x92\xEF\xBD\x94"
                        "\xEF\xBC\x91\xEF\xBC\x94"));
    EXPECT_TRUE(Follows("News Part007", "News Part8"));
    EXPECT_TRUE(
        Follows("\xE2\x98\x85"
                "3 Cats",
                "\xE2\x98\x85"
                "4 Cats"));  // ★3 -> ★4
    // その12 -> その13, with a second number that stays
    EXPECT_TRUE(
        Follows("2024 \xE3\x81\x9D\xE3\x81\xAE"
                "12",
                "2024 \xE3\x81\x9D\xE3\x81\xAE"
                "13"));
    EXPECT_TRUE(Follows("Season 2 talk", "Season 3 talk"));  // a number mid-title
    EXPECT_FALSE(Follows("News Part12", "News Part14"));
    EXPECT_FALSE(Follows("News Part12", "Sports Part13"));
    EXPECT_FALSE(Follows("2024 Part1", "2025 Part2"));  // two numbers changed
    EXPECT_FALSE(Follows("Untitled", "Untitled"));
}

TEST(PostInstant, HeaderDatesAreJapanTime) {
    EXPECT_EQ(PostInstant("2024/09/10(\xE7\x81\xAB) 07:22:22.16"), 1725920542);
    EXPECT_EQ(PostInstant("06/11/03(\xE9\x87\x91) 21:14:05"), 1162556045);  // 2006
    EXPECT_EQ(PostInstant("99/12/31 23:59"), 946652340);                    // 1999
    EXPECT_EQ(PostInstant("2024/02/29 00:00:00"), 1709132400);
    EXPECT_EQ(PostInstant("\xE3\x81\x82\xE3\x81\xBC\xE3\x83\xBC\xE3\x82\x93"), 0);  // あぼーん
    EXPECT_EQ(PostInstant("2024/13/01 00:00"), 0);
}

TEST(SiteRecord, KeepsEveryFieldThroughTheTableAndSkipsCutLines) {
    SiteThread t;
    t.board = "news";
    t.key = "1234567890";
    t.source = "/logs/a\tb\\c/1234567890.dat";
    t.size = 300000;
    t.modified = -4641024866180813979;
    t.head = 18446744073709551615ull;
    t.title = "tab\there, line\nthere";
    t.posts = 1000;
    t.firstDate = "2024/09/10";
    t.lastDate = "2024/09/11";
    t.lastInstant = 1725920542;
    t.gone = true;
    t.previous = "news/1234567889";
    t.names = {"game/1", "news/2:l"};
    t.links = 42;
    // A run holds the thread packed in its table, and writes the record from there.
    SiteTable table;
    bool added = false;
    table.Set(table.Add(t.board, t.key, added), t);
    ASSERT_TRUE(added);
    const SiteThread packed = table.Thread(0);
    EXPECT_EQ(packed.board, "news");
    const std::string text = RecordText({&packed, &t});
    std::vector<SiteThread> back;
    ASSERT_TRUE(ReadRecord(text, back));
    ASSERT_EQ(back.size(), 2u);
    const SiteThread& b = back[0];
    EXPECT_EQ(b.source, t.source);
    EXPECT_EQ(b.modified, t.modified);
    EXPECT_EQ(b.head, t.head);
    EXPECT_EQ(b.title, t.title);
    EXPECT_EQ(b.lastInstant, t.lastInstant);
    EXPECT_TRUE(b.gone);
    EXPECT_EQ(b.previous, t.previous);
    EXPECT_EQ(b.names, t.names);
    EXPECT_EQ(b.links, 42u);
    // A record cut mid-line (a full disk) keeps the whole lines; something else is no record.
    ASSERT_TRUE(ReadRecord(text.substr(0, text.size() - 10), back));
    EXPECT_EQ(back.size(), 1u);
    EXPECT_FALSE(ReadRecord("<html>\n", back));
}

TEST(SiteTable, FindsEachThreadOnceAmongMany) {
    SiteTable table;
    bool added = false;
    for (int i = 0; i < 5000; ++i) {
        std::string board = "b";
        board += std::to_string(i % 3);
        ASSERT_EQ(table.Add(board, std::to_string(i), added), static_cast<std::size_t>(i));
        ASSERT_TRUE(added);
    }
    EXPECT_EQ(table.Add("b1", "4", added), 4u);
    EXPECT_FALSE(added);
    EXPECT_EQ(table.Find("b2/4997"), 4997u);
    EXPECT_EQ(table.Find("b1/4997"), SiteTable::kNone);  // the key under another board
    EXPECT_EQ(table.Find("b2"), SiteTable::kNone);
    // Threads of one folder share it; a bare name has none.
    std::string_view name;
    const uint32_t folder = table.FolderOf("/logs/news/1.dat", name);
    EXPECT_EQ(name, "1.dat");
    EXPECT_EQ(table.FolderOf("/logs/news/2.dat", name), folder);
    EXPECT_EQ(table.Folder(folder), "/logs/news/");
    table.FolderOf("3.dat", name);
    EXPECT_EQ(name, "3.dat");
}

TEST(SiteFile, WrittenOnlyWhenItsPiecesDiffer) {
    testing::TempFolder folder;
    const std::string path = folder.Path("index.html");
    auto lines = [](int n) {
        return [n](const std::function<void(std::string_view)>& put) {
            for (int i = 0; i < n; ++i) put(std::string(i % 70000 == 0 ? 70000 : 30, 'x'));
        };
    };
    bool written = false;
    int error = 0;
    ASSERT_TRUE(UpdateSiteFile(path, lines(3000), written, error));
    EXPECT_TRUE(written);
    std::string bytes;
    ASSERT_TRUE(ReadSiteFile(path, bytes));
    EXPECT_EQ(bytes.size(), 70000u + 2999u * 30u);
    ASSERT_TRUE(UpdateSiteFile(path, lines(3000), written, error));
    EXPECT_FALSE(written);
    // A file that holds the bytes and more, or fewer, is written again.
    for (int n : {2999, 3001}) {
        ASSERT_TRUE(UpdateSiteFile(path, lines(n), written, error));
        EXPECT_TRUE(written) << n;
    }
}

TEST(ThreadFacts, OnlyWholeFactsAreRead) {
    ThreadFacts facts;
    facts.title = "a\tb";
    facts.posts = 2;
    facts.names = {"news/1", "news/2"};
    facts.links = 7;
    facts.search = {{1, "2024/09/10", "name", {"line one", "tab\tline"}}, {2, "", "", {}}};
    const std::string text = FactsText(facts);
    ThreadFacts back;
    ASSERT_TRUE(ReadFacts(text, back));
    EXPECT_EQ(back.title, facts.title);
    EXPECT_EQ(back.names, facts.names);
    EXPECT_EQ(back.links, 7u);
    ASSERT_EQ(back.search.size(), 2u);
    EXPECT_EQ(back.search[0].lines, facts.search[0].lines);
    // A worker that died half-way hands back part of them.
    EXPECT_FALSE(ReadFacts(text.substr(0, text.size() - 2), back));
    EXPECT_FALSE(ReadFacts("", back));
}

// A .dat thread of posts a minute apart, its first post naming the threads in links.
std::string DatThread(const std::string& title, int posts, const std::string& links) {
    std::string dat;
    for (int i = 1; i <= posts; ++i) {
        dat += "\x96\xbc\x96\xb3\x82\xb5<>sage<>2024/09/10 07:" + std::to_string(10 + i) +
               ":00 ID:a" + std::to_string(i % 3) + "<>post " + std::to_string(i) + " " +
               (i == 1 ? links : "") + "<>" + (i == 1 ? title : "") + "\n";  // 名無し
    }
    return dat;
}

// Every file of a site but its lock and its search index (whose files follow the order in which
// conversions end), by path inside it.
std::map<std::string, std::string> SiteFiles(const std::string& site) {
    std::map<std::string, std::string> files;
    for (const auto& f : std::filesystem::recursive_directory_iterator(site)) {
        const std::string name = std::filesystem::relative(f.path(), site).generic_string();
        if (!f.is_regular_file() || name == ".horofu-lock" || name.starts_with("search/")) continue;
        files[name] = testing::TempFolder::Read(f.path().string());
    }
    return files;
}

class CountingListener final : public SiteListener {
  public:
    void Problem(const std::string& path, SiteProblem, int) override { problems += path + " "; }
    std::string problems;
};

// Threads that name each other, converted on four threads, give the site that one conversion
// after the other gives; a second run finds nothing to do.
// A peek reads a thread as its page does: blank lines before a raw log leave its form and
// title as they are.
TEST(ThreadPeek, BlankLinesBeforeARawLog) {
    testing::TempFolder folder;
    const std::string path =
        folder.Write("1204300000.dat",
                     "\n\n5<>名無し<><>2008/03/01(土) 12:00:00<>本文<>題<>aBcD\n"
                     "7<>名無し<><>2008/03/01(土) 12:01:00<>&gt;&gt;5<><>aBcD\n");
    const ThreadPeek peek = PeekThread(path, "1204300000.dat");
    EXPECT_TRUE(peek.read);
    EXPECT_EQ(peek.title, "題");
    EXPECT_EQ(peek.posts, 2u);
}

TEST(ThreadedSiteWorkers, BuildTheSameSiteAsOneAfterTheOther) {
    testing::TempFolder folder;
    std::filesystem::create_directories(folder.Path("logs/news"));
    std::filesystem::create_directories(folder.Path("logs/game"));
    const std::string address = "http://b.example/test/read.cgi/";
    for (int i = 1; i <= 12; ++i) {
        const std::string key = std::to_string(1000000000 + i);
        const std::string other = std::to_string(1000000000 + (i * 5) % 12 + 1);
        const std::string links = address + "news/" + other + "/2 " + address + "game/" + other +
                                  "/l2 " + address + "news/" + key + "/1";
        folder.Write("logs/news/" + key + ".dat",
                     DatThread("News Part" + std::to_string(i), 2 + i % 4, links));
        folder.Write("logs/game/" + key + ".dat", DatThread("Game " + key, 3, links));
    }
    const std::vector<std::string> sources{folder.Path("logs")};
    CountingListener listener;
    InProcessWorkers inProcess;
    const SiteSummary one = BuildSite(folder.Path("one"), sources, inProcess, listener);
    ThreadedSiteWorkers threaded(4);
    const SiteSummary four = BuildSite(folder.Path("four"), sources, threaded, listener);
    EXPECT_EQ(listener.problems, "");
    EXPECT_EQ(four.status, 0);
    EXPECT_EQ(four.threads, 24u);
    EXPECT_EQ(four.converted, one.converted);
    const auto files = SiteFiles(folder.Path("one"));
    EXPECT_EQ(SiteFiles(folder.Path("four")), files);
    EXPECT_NE(files.at("news/1000000003.html").find("href=\"../game/1000000004.html#2\""),
              std::string::npos);
    const SiteSummary again = BuildSite(folder.Path("four"), sources, threaded, listener);
    EXPECT_EQ(again.converted, 0u);
    EXPECT_EQ(again.filesWritten, 0u);

    // A job that throws ends as a worker that died; the others are told as usual.
    std::vector<int> told(6, -1);
    threaded.Run(
        6,
        [](std::size_t job) -> std::string {
            if (job == 3) throw std::bad_alloc();
            return std::to_string(job);
        },
        [&told](std::size_t job, bool ended, std::string& bytes) {
            told[job] = ended ? std::stoi(bytes) : 99;
        });
    EXPECT_EQ(told, (std::vector<int>{0, 1, 2, 99, 4, 5}));
}

}  // namespace
}  // namespace horofu
