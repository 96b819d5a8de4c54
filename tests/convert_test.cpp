// The conversion, byte for byte: classification, fragments, escaping, echo and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "converter/ConversionChannels.h"
#include "converter/ConvertIntoPlace.h"
#include "converter/ConvertThreadFile.h"
#include "converter/classic/ClassicPage.h"
#include "runtime/Channels.h"
#include "runtime/Split.h"
#include "tests/TempFolder.h"

namespace horofu {
namespace {

using testing::TempFolder;

const std::string kHead =
    "<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n";
const std::string kTail = "\t</DL>\r\n</body>\r\n</html>\r\n";

// Shift-JIS pieces of the sample records.
#define NAME_LABEL "\x96\xbc\x91\x4f\x81\x46"                  // 名前：
#define DATE_LABEL "\x93\x8a\x8d\x65\x93\xfa"                  // 投稿日
#define COLON "\x81\x46"                                       // ：
#define NANASHI "\x96\xbc\x96\xb3\x82\xb5"                     // 名無し
#define KONNICHIWA "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd"  // こんにちは

const std::string kNameOpen = NAME_LABEL "<font color=green><b>";
const std::string kLabelledDate = "</b></font>" DATE_LABEL " --/--/--</DT><br>\r\n";
const std::string kBareDate = "</b></font>" COLON " --/--/--</DT><br>\r\n";

class Recorder : public ConversionListener {
  public:
    bool WantsEcho() const override { return true; }
    // A long record comes in pieces; it is put together here, the pieces counted.
    void Echo(const Text& line) override {
        if (joining) {
            echoed.back() += line.Bytes();
        } else {
            echoed.push_back(line.Bytes());
        }
        joining = !line.Bytes().ends_with("\r\n");
        pieces += joining;
    }
    std::vector<std::string> echoed;
    bool joining = false;
    std::size_t pieces = 0;  // calls that did not end a record
};

struct Converted {
    ConversionResult result;
    std::string page;
    std::vector<std::string> echoed;
};

Converted Convert(const std::string& thread) {
    TempFolder folder;
    const std::string in = folder.Write("thread.txt", thread);
    const std::string out = folder.Path("thread.html");
    Recorder recorder;
    Converted c;
    c.result = ConvertThreadFile(Text(in), Text(out), recorder);
    c.page = TempFolder::Read(out);
    c.echoed = recorder.echoed;
    return c;
}

// The page for records whose lines are given.
std::string Page(const std::string& lines) {
    return kHead + lines + kTail;
}

// A body line's fragment, and a reply link's.
std::string Dd(const std::string& text) {
    return "\t\t<DD>" + text + "</DD><br>\r\n";
}
std::string Reply(const std::string& number) {
    return Dd("<a href=\"#" + number + "\">&gt;&gt;" + number + "</a>");
}
// A header's fragment: the post number as written (its anchor without the blank after it),
// the name, and the date's part.
std::string Dt(const std::string& post, const std::string& name,
               const std::string& date = kLabelledDate) {
    const std::string anchor =
        post.empty() || post.back() != ' ' ? post : post.substr(0, post.size() - 1);
    return "\t\t<DT><a name=\"" + anchor + "\">" + post + "</a>" + kNameOpen + name + date;
}

TEST(Convert, TheWorkedExample) {
    const Converted c = Convert("1 " NAME_LABEL NANASHI " " DATE_LABEL COLON
                                "05/01/28 12:00\r\n"
                                "2 " NAME_LABEL NANASHI COLON "05/01/28 12:00\r\n" KONNICHIWA
                                "\r\n"
                                ">>1 \r\n"
                                "\r\n");
    EXPECT_EQ(c.page, Page(Dt("1 ", NANASHI " ") + Dt("2 ", NANASHI, kBareDate) + Dd(KONNICHIWA) +
                           Reply("1") + "\t\t<br>\r\n"));
    EXPECT_EQ(c.result.outcome, ConversionOutcome::Done);
    EXPECT_EQ(c.result.records, 5u);
    EXPECT_EQ(c.result.posts, 2u);
    EXPECT_EQ(c.result.bytesWritten, c.page.size());
    EXPECT_EQ(c.echoed, (std::vector<std::string>{
                            "1 " NAME_LABEL NANASHI " " DATE_LABEL COLON "05/01/28 12:00\r\n",
                            "2 " NAME_LABEL NANASHI COLON "05/01/28 12:00\r\n", KONNICHIWA "\r\n",
                            ">>1 \r\n", "\r\n"}));
}

TEST(Convert, RecordsBecomeHeadersRepliesOrBodyLines) {
    // 集合は10：00で / 投稿日は昨日です: no "名前：" before the date, so ordinary lines.
    const std::string meeting =
        "\x8f\x57\x8d\x87\x82\xcd"
        "10" COLON "00\x82\xc5";
    const std::string posted = DATE_LABEL "\x82\xcd\x8d\xf0\x93\xfa\x82\xc5\x82\xb7";
    const std::pair<std::string, std::string> cases[] = {
        // A reply link drops only the blank after the number; without one the number is
        // kept whole, and a double-byte character is never cut.
        {">>12 \r\n", Reply("12")},
        {">>12\t\r\n", Reply("12")},
        {">>12\r\n", Reply("12")},
        {">>1 \x82\xc8\r\n", Reply("1 \x82\xc8")},  // >>1 な
        // ">>" alone is no reply; as body text its bytes are escaped.
        {">>\r\n", Dd("&gt;&gt;")},
        // The date label wins over a later "：0"; the name runs up to the label, blanks included.
        {"3 " NAME_LABEL " a  " DATE_LABEL COLON "0x " COLON "01\r\n", Dt("3 ", " a  ")},
        // "：0" only as the last three bytes, or only at the first byte, makes no header.
        {"4 " NAME_LABEL "x" COLON "0\r\n", Dd("4 " NAME_LABEL "x" COLON "0")},
        {COLON "0 " NAME_LABEL "\r\n", Dd(COLON "0 " NAME_LABEL)},
        // The label matches ignoring ASCII case only outside double-byte characters:
        // 88 81 46 30 is a character and a lone F, which is no "：0".
        {"5 " NAME_LABEL "x\x88\x81"
         "F0 1\r\n",
         Dd("5 " NAME_LABEL "x\x88\x81"
            "F0 1")},
        // A number with no blank before "名前：" keeps its last digit in the anchor;
        // "名前：" first gives an empty number and anchor.
        {"12" NAME_LABEL "x " DATE_LABEL "\r\n", Dt("12", "x ")},
        {NAME_LABEL "x " DATE_LABEL "\r\n", Dt("", "x ")},
        {meeting + "\r\n" + posted + "\r\n", Dd(meeting) + Dd(posted)},
        // Record text is escaped, fixed text is not, in the number and the link too.
        {"<b>Tom & \"Jerry\"</b>\r\n", Dd("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;")},
        {"1<a " NAME_LABEL "<i>&" DATE_LABEL "\r\n", Dt("1&lt;a ", "&lt;i&gt;&amp;")},
        {">>1\"><script> \r\n", Reply("1&quot;&gt;&lt;script&gt;")},
        // A comma outside quotes splits the line; inside quotes it stays.
        {"a,b\r\n\"c,d\"\r\n", Dd("a") + Dd("b") + Dd("&quot;c,d&quot;")},
    };
    for (const auto& [thread, lines] : cases) {
        const Converted c = Convert(thread);
        EXPECT_EQ(c.page, Page(lines)) << thread;
        EXPECT_EQ(c.result.posts, lines.find("<DT>") == std::string::npos ? 0u : 1u) << thread;
    }
}

TEST(Convert, NothingIsWrittenForBlanksThatHoldNoRecord) {
    EXPECT_EQ(Convert("").page, Page(""));
    EXPECT_EQ(Convert(" \t ").page, Page(""));
    const Converted c = Convert("abc\r\n  ");
    EXPECT_EQ(c.page, Page(Dd("abc")));
    EXPECT_EQ(c.echoed, (std::vector<std::string>{"abc\r\n"}));
    EXPECT_EQ(c.result.records, 1u);
}

TEST(Convert, FailuresAreReportedAndTouchNothing) {
    TempFolder folder;
    Recorder recorder;
    const std::string page = folder.Write("old.html", "old page");
    ConversionResult r = ConvertThreadFile(Text(folder.Path("missing.txt")), Text(page), recorder);
    EXPECT_EQ(r.outcome, ConversionOutcome::InputNotOpened);
    EXPECT_EQ(TempFolder::Read(page), "old page");

    const std::string in = folder.Write("in.txt", "x\r\n");
    r = ConvertThreadFile(Text(in), Text(folder.Path("no/such/folder.html")), recorder);
    EXPECT_EQ(r.outcome, ConversionOutcome::OutputNotCreated);

    // The input as its own output: the open for output is refused, the input stays intact.
    r = ConvertThreadFile(Text(in), Text(in), recorder);
    EXPECT_EQ(r.outcome, ConversionOutcome::OutputNotCreated);
    EXPECT_EQ(TempFolder::Read(in), "x\r\n");
    EXPECT_TRUE(recorder.echoed.empty());
}

TEST(Convert, AListenerCanStopTheConversion) {
    struct Stopper : ConversionListener {
        bool StopRequested() override { return true; }
    } stopper;
    TempFolder folder;
    const std::string in = folder.Write("in.txt", "a\r\nb\r\n");
    const ConversionResult r = ConvertThreadFile(Text(in), Text(folder.Path("o.html")), stopper);
    EXPECT_EQ(r.outcome, ConversionOutcome::Stopped);
    EXPECT_EQ(r.records, 1u);

    // The modern page stopped midway through each reading, while its walk through the thread
    // runs batches ahead: the walk ends too, and nothing waits for it.
    struct Later : ConversionListener {
        int lines = 0, at = 0;
        bool StopRequested() override { return ++lines >= at; }
    };
    std::string thread;
    for (int n = 1; n <= 20000; ++n) {
        thread += std::to_string(n) + " name : 2024/09/10(火) 12:00:00 ID:abc\r\n>>1 text\r\n\r\n";
    }
    const std::string long_in = folder.Write("long.txt", thread);
    for (const int at : {5000, 65000}) {
        Later later;
        later.at = at;
        PageOptions options;
        options.kind = PageKind::Modern;
        EXPECT_EQ(
            ConvertThreadFile(Text(long_in), Text(folder.Path("m.html")), later, options).outcome,
            ConversionOutcome::Stopped)
            << at;
    }
}

// What escapes a conversion (here thrown by the listener, as a thread that cannot be started or
// memory running out would be) is reported, not left to end the program, and the unfinished
// page goes: the old page stays and nothing is left beside it, for either page.
TEST(Convert, AnExceptionIsReportedAndLeavesNoHalfPage) {
    struct Thrower : ConversionListener {
        int kind = 0;
        bool WantsEcho() const override { return true; }
        void Echo(const Text&) override {
            if (kind == 0) throw std::system_error(std::make_error_code(std::errc::io_error));
            if (kind == 1) throw std::bad_alloc();
            throw 42;
        }
    };
    for (const PageKind page : {PageKind::Classic, PageKind::Modern}) {
        for (int kind = 0; kind < 3; ++kind) {
            TempFolder folder;
            const std::string in = folder.Write("in.txt", "a\r\nb\r\n");
            const std::string out = folder.Write("in.html", "old page");
            Thrower thrower;
            thrower.kind = kind;
            PageOptions options;
            options.kind = page;
            const ConversionResult r =
                ConvertIntoPlace(Text(in), Text(out), thrower, options, true);
            EXPECT_EQ(r.outcome,
                      kind == 1 ? ConversionOutcome::OutOfMemory : ConversionOutcome::Unexpected);
            EXPECT_EQ(r.systemError, kind == 0 ? static_cast<int>(std::errc::io_error) : 0);
            EXPECT_EQ(TempFolder::Read(out), "old page");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), {}), 2);
            EXPECT_EQ(GetChannelStatus(kInput), ChannelStatus::Empty);
        }
    }
}

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        out += c == '&'   ? "&amp;"
               : c == '<' ? "&lt;"
               : c == '>' ? "&gt;"
               : c == '"' ? "&quot;"
                          : std::string(1, c);
    }
    return out;
}

std::string WithoutEndingBlank(const std::string& s) {
    return !s.empty() && static_cast<unsigned char>(s.back()) <= 0x20 ? s.substr(0, s.size() - 1)
                                                                      : s;
}

// The conversion as first written, record by record through field input and the splits: the
// page every way of cutting the thread must give. records collects what each record was.
std::string RecordByRecordPage(const std::string& path, std::vector<std::string>& records) {
    std::string lines;
    OpenChannel(Text(path), 1, 1);
    Text record;
    while (ChannelAtEnd(1) == 0) {
        if (InputFields(1, {record}) == 0) continue;
        records.push_back(record.Bytes() + "\r\n");
        const char* date = nullptr;
        if (SplitFirst(record, Text(DATE_LABEL)) == 1) {
            if (SplitFirst(FirstLeft(), Text(NAME_LABEL)) == 1) date = DATE_LABEL " --/--/--";
        } else if (SplitLast(record, Text(COLON "0")) == 1) {
            if (SplitFirst(LastLeft(), Text(NAME_LABEL)) == 1) date = COLON " --/--/--";
        }
        const std::string& r = record.Bytes();
        lines += "\t\t";
        if (date != nullptr) {
            const std::string p = FirstLeft().Bytes();
            lines += "<DT><a name=\"" + Escaped(WithoutEndingBlank(p)) + "\">" + Escaped(p) +
                     "</a>" + kNameOpen + Escaped(FirstRight().Bytes()) + "</b></font>" + date +
                     "</DT>";
        } else if (r.size() > 2 && r.compare(0, 2, ">>") == 0) {
            const std::string n = Escaped(WithoutEndingBlank(r.substr(2)));
            lines += "<DD><a href=\"#" + n + "\">&gt;&gt;" + n + "</a></DD>";
        } else if (!r.empty()) {
            lines += "<DD>" + Escaped(r) + "</DD>";
        }
        lines += "<br>\r\n";
    }
    CloseChannel(1);
    return Page(lines);
}

// Random threads made of the pieces that matter to cutting and classifying: marks, their
// look-alikes through half a character, line ends, quotes, commas, zero bytes, blanks.
// With longLines, few pieces end a record, so many records are longer than a piece.
std::string RandomThread(std::mt19937& random, std::size_t pieces, bool longLines) {
    static const char* const kPieces[] = {NAME_LABEL, DATE_LABEL, "\x93\x8a\x8d\x45\x93\xfa",
                                          COLON "0",  COLON,      "\x88",
                                          "\x81",     "E",        "F0",
                                          ">>",       "12",       " ",
                                          "\t",       ",",        "\"",
                                          "\r",       "\n",       "\r\n",
                                          "\r\n",     "<",        "&",
                                          "a",        KONNICHIWA, "\xe0"};
    std::string thread;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t k = random() % (std::size(kPieces) + 1);
        const std::string piece = k < std::size(kPieces) ? kPieces[k] : std::string(1, '\0');
        const bool ends = piece.find_first_of(std::string("\n,", 3)) != std::string::npos;
        thread += ends && longLines && random() % 8 != 0 ? "x" : piece;
    }
    return thread;
}

// Each conversion holds its own channels: four at once in one process, both pages, each give
// the page they give alone.
TEST(Convert, ConversionsRunSideBySide) {
    TempFolder folder;
    std::mt19937 random(11);
    const std::string thread = RandomThread(random, 3000, false);
    const std::string in = folder.Write("t.txt", thread);
    std::vector<std::string> alone;
    for (PageKind kind : {PageKind::Classic, PageKind::Modern}) {
        PageOptions options;
        options.kind = kind;
        ConversionListener quiet;
        const std::string out = folder.Path("alone.html");
        ConvertThreadFile(Text(in), Text(out), quiet, options);
        alone.push_back(TempFolder::Read(out));
    }
    std::vector<std::thread> runs;
    for (int i = 0; i < 4; ++i) {
        // A thread of its own each: Windows holds a file that is read exclusively.
        const std::string own = folder.Write(std::to_string(i) + ".txt", thread);
        runs.emplace_back([&folder, own, i] {
            PageOptions options;
            options.kind = i % 2 == 0 ? PageKind::Classic : PageKind::Modern;
            ConversionListener quiet;
            ConvertThreadFile(Text(own), Text(folder.Path(std::to_string(i) + ".html")), quiet,
                              options);
        });
    }
    for (std::thread& run : runs) run.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(TempFolder::Read(folder.Path(std::to_string(i) + ".html")), alone[i % 2]) << i;
    }
}

// Pieces far smaller than the records, so that records are cut at every kind of byte and
// many are longer than a piece (read twice, from the thread or from a copy as for a pipe), on
// one thread and on two.
TEST(Convert, EveryWayOfCuttingGivesTheRecordByRecordPage) {
    TempFolder folder;
    std::mt19937 random(7);
    const ClassicTuning tunings[] = {
        {64, 64, 2, false}, {67, 200, 2, true}, {100, 1000, 1, false}, {4096, 4096, 2, false}};
    for (int round = 0; round < 150; ++round) {
        const std::string in =
            folder.Write("t.txt", RandomThread(random, random() % 600, round % 2 == 1));
        std::vector<std::string> records;
        const std::string expected = RecordByRecordPage(in, records);
        std::size_t longest = 0;
        for (const std::string& record : records) longest = std::max(longest, record.size());
        for (const ClassicTuning& tuning : tunings) {
            for (bool echo : {false, true}) {
                Recorder recorder;
                ConversionListener quiet;
                ChannelTable channels;
                channels.Open(Text(in), 1, 1);
                channels.Open(Text(folder.Path("t.html")), 2, 2);
                const ConversionResult r =
                    ConvertClassicChannels(channels, echo ? recorder : quiet, tuning);
                ASSERT_EQ(TempFolder::Read(folder.Path("t.html")), expected)
                    << "round " << round << ", pieces of " << tuning.chunkBytes;
                EXPECT_EQ(r.records, records.size());
                if (echo) {
                    // The echo holds no more than a piece of a record longer than a piece.
                    EXPECT_EQ(recorder.echoed, records);
                    if (longest > 2 * tuning.chunkBytes) {
                        EXPECT_GT(recorder.pieces, 0u) << round;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace horofu
