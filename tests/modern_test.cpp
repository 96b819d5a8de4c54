// The modern page: header forms, reply and address scanning, .dat reduction, and whole pages
// for a Shift-JIS, a UTF-8 CR-only and a .dat thread (the command's tests read one from a pipe).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "converter/ConvertIntoPlace.h"
#include "converter/ConvertThreadFile.h"
#include "converter/modern/DatThread.h"
#include "converter/modern/NgFilter.h"
#include "converter/modern/PostHeader.h"
#include "converter/modern/ReplyScan.h"
#include "runtime/Channels.h"
#include "runtime/Utf8.h"
#include "tests/TempFolder.h"

namespace horofu {
namespace {

using testing::TempFolder;

// The parts a header was cut into, other than the text between them: "num[1] name[…]…".
std::string Parts(const PostHeader& header) {
    std::string shown;
    for (const HeaderPart& part : header.parts) {
        if (const char* cls = PartClass(part.kind)) {
            if (!shown.empty()) shown += ' ';
            shown += std::string(cls) + "[" + std::string(part.text) + "]";
        }
    }
    return shown;
}

TEST(ModernHeader, FormsThatStartAPost) {
    struct Case {
        const char* line;
        uint32_t previous;
        const char* parts;
    };
    const Case cases[] = {
        {"1 名前：名無しさん＠お腹いっぱい。 [sage] 投稿日：2024/09/10(火) 07:22:22.16 "
         "ID:+CqbuZkk0",
         0,
         "num[1] name[名無しさん＠お腹いっぱい。] mail[sage] date[2024/09/10(火) 07:22:22.16] "
         "id[ID:+CqbuZkk0]"},
        {"2 名前：名無しさん：2012/05/01(火) 12:00:00.11 ID:abcDEF12", 1,
         "num[2] name[名無しさん] date[2012/05/01(火) 12:00:00.11] id[ID:abcDEF12]"},
        {"3 ：名無しさん＠お腹いっぱい。：2014/01/01(水) 00:00:00.00 ID:Xy9AbCdE0", 2,
         "num[3] name[名無しさん＠お腹いっぱい。] date[2014/01/01(水) 00:00:00.00] "
         "id[ID:Xy9AbCdE0]"},
        {"4 名無しさん 2024/09/10(火) 07:22:22.16 ID:xyzXYZ000", 3,
         "num[4] name[名無しさん] date[2024/09/10(火) 07:22:22.16] id[ID:xyzXYZ000]"},
        {"5 名前：名無しさん ◆Trip1234ab 投稿日：05/01/28 12:00", 4,
         "num[5] name[名無しさん] trip[◆Trip1234ab] date[05/01/28 12:00]"},
        // The classic page's own forms, and a tail with BE and a host.
        {"12 名前：名無し 投稿日：05/01/28 12:00", 0, "num[12] name[名無し] date[05/01/28 12:00]"},
        {"13 名前：名無し：05/01/28 12:00", 12, "num[13] name[名無し] date[05/01/28 12:00]"},
        {"14 名前：774 投稿日：2010/02/03(水) 04:05:06 ID:a1 BE:123-2BP(1000) HOST:x", 0,
         "num[14] name[774] date[2010/02/03(水) 04:05:06] id[ID:a1] be[BE:123-2BP(1000)] "
         "extra[HOST:x]"},
        // A deleted post keeps its labels only; the name may be empty.
        {"15 名前：あぼーん 投稿日：あぼーん", 0, "num[15] name[あぼーん] date[あぼーん]"},
        {"15 ：あぼーん：あぼーん", 0, "num[15] name[あぼーん] date[あぼーん]"},
        {"15 あぼーん あぼーん", 0, "num[15] name[あぼーん] date[あぼーん]"},
        // Everything between the name and the tails is the date.
        {"17 名前：名無し 投稿日：2013/04/01(月) NY:AN:NY.AN ID:x1", 0,
         "num[17] name[名無し] date[2013/04/01(月) NY:AN:NY.AN] id[ID:x1]"},
        {"18 名無し 2013/04/01(月) ??:??:?? ID:x1", 0,
         "num[18] name[名無し] date[2013/04/01(月) ??:??:??] id[ID:x1]"},
        {"19 名前：名無し 投稿日：平成25年 春 ID:x1 BE:1-2BP(3)", 0,
         "num[19] name[名無し] date[平成25年 春] id[ID:x1] be[BE:1-2BP(3)]"},
        {"19 名無し 投稿日：平成25年 ID:x1", 0, "num[19] name[名無し] date[平成25年] id[ID:x1]"},
        {"20 名前：ちゅら猫ρ ★ 投稿日：2024/09/10(火) 07:22:22.1 ID:Cap", 0,
         "num[20] name[] cap[ちゅら猫ρ ★] date[2024/09/10(火) 07:22:22.1] id[ID:Cap]"},
        {"1001 １００１ Over 1000 Thread", 1000, "num[1001] name[１００１ Over 1000 Thread]"},
        {"16 名前：：2024/09/10 10:00", 0, "num[16] name[] date[2024/09/10 10:00]"},
        // Dates in an era's years, as some boards showed them, with or without labels.
        {"21 名無し 平成25年04月01日(月) 12:00:00 ID:e1", 0,
         "num[21] name[名無し] date[平成25年04月01日(月) 12:00:00] id[ID:e1]"},
        {"22 ：名無し：令和元年5月1日(水) 00:00:00.00 ID:e2", 0,
         "num[22] name[名無し] date[令和元年5月1日(水) 00:00:00.00] id[ID:e2]"},
        // Blanks after the colon are not the name's.
        {"24: 名無しさん 2023/04/29(土) 12:00:00.00 ID:c1", 0,
         "num[24] name[名無しさん] date[2023/04/29(土) 12:00:00.00] id[ID:c1]"},
        // Full-width numbers, as some copies have them.
        {"２１ 名前：名無し 投稿日：2023/04/29(土) 12:00:00.00 ID:w1", 20,
         "num[２１] name[名無し] date[2023/04/29(土) 12:00:00.00] id[ID:w1]"},
        // The board's posts without labels, after a colon too, and after a gap the copy has.
        {"1001: １００１ Over 1000 Thread", 1000, "num[1001] name[１００１ Over 1000 Thread]"},
        {"1001 ：１００１：Over 1000 Thread", 998, "num[1001] name[１００１：Over 1000 Thread]"},
        // A board that allows more posts says so with its own limit.
        {"2001 ２００１ Over 2000 Thread", 2000, "num[2001] name[２００１ Over 2000 Thread]"},
    };
    for (const Case& c : cases) {
        PostHeader header;
        ASSERT_TRUE(ParseHeader(c.line, c.previous, header)) << c.line;
        const std::string_view line(c.line);
        const PostKind kind = line.starts_with("15 ") ? PostKind::Deleted
                              : line.starts_with("1001") || line.starts_with("2001")
                                  ? PostKind::Board
                                  : PostKind::Poster;
        EXPECT_EQ(header.kind, kind) << c.line;
        EXPECT_EQ(Parts(header), c.parts) << c.line;
        std::string joined;
        for (const HeaderPart& part : header.parts) joined += part.text;
        EXPECT_EQ(joined, c.line) << "every character of the header is kept";
    }
    // An ID is counted without a viewer's count after it; "???" is no one's.
    const std::pair<const char*, const char*> ids[] = {
        {"2 名無し 2023/04/29(土) 12:00:00.00 ID:Ab+/Cd0(12/345)", "Ab+/Cd0"},
        {"2 名無し 2023/04/29(土) 12:00:00.00 ID:Ab(x)", "Ab(x)"},
        {"2 名無し 2023/04/29(土) 12:00:00.00 ID: Ab+/Cd0 BE:1-2BP(3)", "Ab+/Cd0"},
        {"2 名無し 2023/04/29(土) 12:00:00.00 ID:??"
         "?(1/2)",
         ""},
    };
    for (const auto& [line, key] : ids) {
        PostHeader header;
        ASSERT_TRUE(ParseHeader(line, 1, header)) << line;
        EXPECT_EQ(header.idKey, key) << line;
    }
    PostHeader wide;
    ASSERT_TRUE(ParseHeader("１２３ 名無し 2023/04/29(土) 12:00:00.00", 0, wide));
    EXPECT_EQ(wide.number, 123u);
    // A header of a hundred thousand tails is cut into a few dozen parts, the rest one text.
    std::string tails = "1 a 2024/01/01 00:00 ID:a";
    for (int i = 0; i < 100000; ++i) tails += " x";
    PostHeader many;
    ASSERT_TRUE(ParseHeader(tails, 0, many));
    EXPECT_LT(many.parts.size(), 100u);
    std::string joined;
    for (const HeaderPart& part : many.parts) joined += part.text;
    EXPECT_EQ(joined, tails);
    EXPECT_EQ(many.idKey, "a");
}

TEST(ModernHeader, LinesThatStayBody) {
    struct Case {
        const char* line;
        uint32_t previous;
    };
    const Case cases[] = {
        {"10 時間待って 2024/09/10 10:00 に…", 5},       // a tail no header has
        {"10 時間待って 2024/09/10 10:00", 12},          // not above the post it is in
        {"3 名前：名無し 投稿日：2024/09/10 10:00", 3},  // numbers only go up
        {"300円 2024/09/10 10:00", 0},                   // no blank after the number
        {">>1 2024/09/10 10:00", 0},
        {"12 月 2024/13/01 10:00", 0},              // no thirteenth month
        {"5 名無し 2024/09/10", 0},                 // a date without a time, no label
        {"6 平成25年4月1日に 12:00 ID:x", 0},       // a date run into what follows
        {"7 あぼーん されて あぼーん", 0},          // a deleted post says its word twice only
        {"3 昨日の投稿日 見た", 2},                 // a date label only with its colon
        {"2 はい はい", 1},                         // and a word of deletion
        {"1234567890 名無し 2024/09/10 10:00", 0},  // too long to be a post number
        {"2 山手線 運転停止", 1},                   // a word the board's posts use, in a list
        {"3 過去ログ読んできた", 2},
        {"", 0},
    };
    for (const Case& c : cases) {
        PostHeader header;
        EXPECT_FALSE(ParseHeader(c.line, c.previous, header)) << c.line;
    }
}

// The links of a line, each as "number" or "url:text".
std::string Links(std::string_view line) {
    std::vector<LineLink> links;
    std::vector<ReplyRange> ranges;
    ScanLine(line, links, &ranges);
    std::string shown;
    for (const LineLink& link : links) {
        if (!shown.empty()) shown += ' ';
        if (link.kind == LinkKind::Reply) {
            shown += std::to_string(link.number) + "=" +
                     std::string(line.substr(link.begin, link.end - link.begin));
        } else {
            shown += "url:" + std::string(line.substr(link.begin, link.end - link.begin));
        }
    }
    for (const ReplyRange& r : ranges)
        shown += " range" + std::to_string(r.from) + "-" + std::to_string(r.to);
    return shown;
}

TEST(ModernReplies, MarksNumbersAndAddresses) {
    EXPECT_EQ(Links(">>12"), "12=>>12");
    EXPECT_EQ(Links("それな>>3 と＞＞１２だよ"), "3=>>3 12=＞＞１２");
    EXPECT_EQ(Links(">>1-4,7"), "1=>>1 4=4 7=7 range1-4");
    EXPECT_EQ(Links(">>99999999999 >>0 >> 5 >x"), "0=>>0");
    EXPECT_EQ(Links("見て http://a.invalid/x?a=1&b=2. と ttps://b.invalid/(y))"),
              "url:http://a.invalid/x?a=1&b=2 url:ttps://b.invalid/(y)");
    EXPECT_EQ(Links("javascript:alert(1) data:text/html,x ftp://c.invalid http://"), "");
    // Each mark its own link, however many marks.
    EXPECT_EQ(Links(">>>1 >>1>>2>>3 >>1 >>1"), "1=>>>1 1=>>1 2=>>2 3=>>3 1=>>1 1=>>1");
    // Addresses broken on purpose stay text.
    EXPECT_EQ(Links("h ttp://a.invalid hxxp://b.invalid h**p://c.invalid xttp://d.invalid "
                    "ｈttp://e.invalid h　ttp://g.invalid h\tttp://i.invalid h  ttp://j.invalid "
                    "h　 ttps://k.invalid ｈ ttp://l.invalid (ttp://f.invalid)"),
              "url:ttp://f.invalid");
}

TEST(ModernDat, HtmlBecomesText) {
    std::string text;
    uint64_t invalid = 0;
    AppendHtmlText(
        "a <br> &lt;b&gt; &amp;amp; &#x263A;&#9731; <a href=\"x\">&gt;&gt;1</a> "
        "&bogus; 1 < 2 <BR/>&copy;&hearts;&NotNestedLessLess;&#55357;&#56832;&#X1F600&#128;"
        "|&#0;&#x110000;&#xD800;x&#56832;|&amp;#128519;&gt&gt1&notit;&amp",
        text, &invalid);
    EXPECT_EQ(text,
              "a \n <b> &amp; ☺☃ >>1 &bogus; 1 < 2 \n©♥⪡̸😀😀€|\xEF\xBF\xBD\xEF\xBF\xBD"
              "\xEF\xBF\xBDx\xEF\xBF\xBD|&#128519;>>1¬it;&");
    EXPECT_EQ(invalid, 4u);
    DatPost post;
    ParseDatLine(" </b>◆Trip <b><>sage<>2024/09/10(火) 07:23:00.00 ID:abc<> x <br>  AA <>題名", 7,
                 DatForm::Standard, post);
    EXPECT_EQ(post.headerText, "7 ◆Trip [sage] 2024/09/10(火) 07:23:00.00 ID:abc");
    EXPECT_EQ(Parts(post.header),
              "num[7] name[] trip[◆Trip] mail[sage] date[2024/09/10(火) 07:23:00.00] id[ID:abc]");
    EXPECT_EQ(post.body, "x\n AA");
    EXPECT_EQ(post.title, "題名");
    // A rule parts lines as a break does.
    ParseDatLine("a<><>2024/09/10(火) 07:23:00.00<> 告知 <hr> 本文 <HR/>x <>", 2, DatForm::Standard,
                 post);
    EXPECT_EQ(post.body, "告知\n本文\nx");
    // The title is the fifth field alone, whatever follows it.
    ParseDatLine("a<><>2024/09/10(火) 07:23:00.00<>x<>題名 &amp; &lt;b&gt;<>", 1, DatForm::Standard,
                 post);
    EXPECT_EQ(post.title, "題名 & <b>");
    ParseDatLine("a<><>2024/09/10(火) 07:23:00.00<>x<>題名<>extra<>1", 1, DatForm::Standard, post);
    EXPECT_EQ(post.title, "題名");
    EXPECT_TRUE(LooksLikeDatLine("a<>b<>c<>d<>"));
    EXPECT_FALSE(LooksLikeDatLine("a<>b<>c<>d"));
}

TEST(ModernDat, FormsAndConventions) {
    EXPECT_EQ(FindDatForm("a<>b<>c<>d<>e", false), DatForm::Standard);
    EXPECT_EQ(FindDatForm("12<>a<>b<>c<>d<>e<>f", false), DatForm::NumberFirst);
    EXPECT_EQ(FindDatForm("1<>a<><>2008/03/01(土) 12:00:00<>d", false), DatForm::NumberFirst);
    EXPECT_EQ(FindDatForm("1<><>2008/03/01(土) 12:00:00<>d<>e", false), DatForm::Standard);
    // A first poster named in digits, in a mirror's line closing in "<>"; a rental board's
    // poster so named.
    EXPECT_EQ(FindDatForm("1<><>2008/03/01(土) 12:00:00 ID:x<>d<>e<>", true), DatForm::Standard);
    EXPECT_EQ(FindDatForm("1<>774<><>2008/03/01(土) 12:00:00<>d<>e<>x", false),
              DatForm::NumberFirst);
    EXPECT_EQ(FindDatForm("a,b,01/05/20 12:34,d,e", false), DatForm::Comma);
    EXPECT_EQ(FindDatForm("a,b,c,d", false), DatForm::None);
    EXPECT_EQ(FindDatForm("a<>b", true), DatForm::Standard);
    EXPECT_EQ(ThreadTitle("温泉 [無断転載禁止]©2ch.net\t[転載禁止]"), "温泉");
    EXPECT_EQ(ThreadTitle("[悲報] 温泉 [2]"), "[悲報] 温泉");
    EXPECT_EQ(ThreadTitle("[only]"), "[only]");

    DatPost post;
    // A rental board's raw line keeps its own number and ID; a number below the next is
    // broken and takes the next.
    ParseDatLine("7<>名無し<>sage<>2008/03/01(土) 12:00:00<>本文<>題<>aBcD", 3,
                 DatForm::NumberFirst, post);
    EXPECT_EQ(Parts(post.header),
              "num[7] name[名無し] mail[sage] date[2008/03/01(土) 12:00:00] id[ID:aBcD]");
    EXPECT_EQ(post.header.idKey, "aBcD");
    EXPECT_EQ(post.title, "題");
    // A number going back, or none (a line of another form): broken, the next number, and
    // shown whole, its own number and name too.
    ParseDatLine("2<>名無し<><>2008/03/01(土) 12:00:00<>本文<>", 8, DatForm::NumberFirst, post);
    EXPECT_EQ(post.header.number, 8u);
    EXPECT_EQ(post.header.kind, PostKind::Broken);
    EXPECT_EQ(post.body, "2<>名無し<><>2008/03/01(土) 12:00:00<>本文<>");
    ParseDatLine("名無し<>sage<>2008/03/01(土) 12:00:00<>本文<>", 9, DatForm::NumberFirst, post);
    EXPECT_EQ(post.header.number, 9u);
    EXPECT_EQ(post.body, "名無し<>sage<>2008/03/01(土) 12:00:00<>本文<>");
    // Ten digits are no post's number: the largest would leave none for the posts after it.
    ParseDatLine("4294967295<>名無し<><>2008/03/01(土) 12:00:00<>本文<>", 9, DatForm::NumberFirst,
                 post);
    EXPECT_EQ(post.header.number, 9u);
    EXPECT_EQ(post.header.kind, PostKind::Broken);
    ParseDatLine("12", 9, DatForm::NumberFirst, post);  // a line cut after its number
    EXPECT_EQ(post.header.number, 12u);
    EXPECT_EQ(post.header.kind, PostKind::Broken);
    // Deleted, padded with blanks; its ID never counts.
    ParseDatLine(" 削除 <> 削除 <> 削除 ID:abc<> 削除 <>", 2, DatForm::Standard, post);
    EXPECT_EQ(post.header.kind, PostKind::Deleted);
    EXPECT_EQ(post.header.idKey, "");
    // Too few fields: broken, all of the line kept as its text.
    ParseDatLine("x<>y &amp; z", 3, DatForm::Standard, post);
    EXPECT_EQ(post.header.kind, PostKind::Broken);
    EXPECT_EQ(post.body, "x<>y & z");
    // Old comma lines; the board's closing posts; the icon and BE.
    ParseDatLine("名無し,,01/05/20 12:34,a＠｀b,題", 1, DatForm::Comma, post);
    EXPECT_EQ(post.body, "a,b");
    ParseDatLine("名無し,sage", 2, DatForm::Comma, post);
    EXPECT_EQ(post.header.kind, PostKind::Broken);
    EXPECT_EQ(post.body, "名無し,sage");
    ParseDatLine("１００１<><>Over 1000 Thread<>超えました<>", 1001, DatForm::Standard, post);
    EXPECT_EQ(post.header.kind, PostKind::Board);
    ParseDatLine(
        "名無し<><>2024/01/02(火) 03:04:05.06 ID:??? BE:12-2BP(1)<>sssp://i.invalid/a.gif "
        "<br> 本文<>",
        4, DatForm::Standard, post);
    EXPECT_EQ(Parts(post.header),
              "num[4] name[名無し] date[2024/01/02(火) 03:04:05.06] id[ID:???] be[BE:12-2BP(1)] "
              "badge[sssp://i.invalid/a.gif]");
    EXPECT_EQ(post.header.idKey, "");
    EXPECT_EQ(post.body, "本文");
    ParseDatLine("名無し<><>2024/01/02(火) 03:04:05.06 ID:???0<>x<>", 5, DatForm::Standard, post);
    EXPECT_EQ(post.header.idKey, "");
    // Brackets closing a .dat name are the name's: the mail has a field of its own.
    ParseDatLine("名無し[VIP]<>sage<>2024/01/02(火) 03:04:05.06<>x<>", 6, DatForm::Standard, post);
    EXPECT_EQ(Parts(post.header),
              "num[6] name[名無し[VIP]] mail[sage] date[2024/01/02(火) 03:04:05.06]");
}

class Collector : public ConversionListener {
  public:
    bool WantsEcho() const override { return true; }
    void Echo(const Text& line) override { echoed += line.Bytes(); }
    std::string echoed;
};

struct Page {
    ConversionResult result;
    std::string head;  // up to and including "</style>"
    std::string body;  // the rest but the script
    std::string echoed;
};

Page Split(const std::string& page, ConversionResult result, std::string echoed) {
    const std::size_t style = page.find("</style>");
    const std::size_t cut = style == std::string::npos ? 0 : style + 8;
    const std::size_t script = page.find("<script>\n", cut);
    std::string body = page.substr(cut, script - cut);
    if (script != std::string::npos) body += page.substr(page.find("</script>", script) + 10);
    return {result, page.substr(0, cut), std::move(body), std::move(echoed)};
}

Page ConvertModern(const std::string& name, const std::string& thread, std::string encoding = "",
                   std::shared_ptr<const NgFilter> ng = nullptr) {
    TempFolder folder;
    const std::string in = folder.Write(name, thread);
    const std::string out = folder.Path("page.html");
    PageOptions options;
    options.kind = PageKind::Modern;
    options.inputEncoding = std::move(encoding);
    options.title = Text(in);
    options.ng = std::move(ng);
    Collector collector;
    const ConversionResult result = ConvertThreadFile(Text(in), Text(out), collector, options);
    return Split(TempFolder::Read(out), result, collector.echoed);
}

// A short thread: text before the first post, the five header forms, replies forward and
// back, a range, an address, markup, an ID written twice and a deleted post.
const char kThread[] =
    "温泉スレ\n"
    "1 名前：名無しさん [sage] 投稿日：2024/09/10(火) 07:22:22.16 ID:abc\n"
    "<b>&</b> \"x\" http://a.invalid/?q=1&r=2\n"
    "\n"
    "2 名前：名無しさん：2012/05/01(火) 12:00:00.11 ID:abc\n"
    ">>1 それな >>3\n"
    "3 名無しさん 2024/09/10(火) 07:22:22.16\n"
    "＞＞１-2 >>9\n"
    "\n";

const char kThreadBody[] =
    R"(
</head>
<body>
<main>
<h1>温泉スレ</h1>
<div class="lead">温泉スレ</div>
<div class="posts">
<article class="post" id="1" aria-label="1"><div class="ph"><span class="num">1</span> 名前：<span class="name">名無しさん</span> [<span class="mail">sage</span>] 投稿日：<span class="date">2024/09/10(火) 07:22:22.16</span> <span class="id">ID:abc</span><span class="count"> (1/2)</span><span class="refs"> 返信: <a href="#2">&gt;&gt;2</a> <a href="#3">&gt;&gt;3</a></span></div><div class="text">&lt;b&gt;&amp;&lt;/b&gt; &quot;x&quot; <a class="url" href="http://a.invalid/?q=1&amp;r=2" rel="nofollow noopener noreferrer">http://a.invalid/?q=1&amp;r=2</a></div></article><article class="post" id="2" aria-label="2"><div class="ph"><span class="num">2</span> 名前：<span class="name">名無しさん</span>：<span class="date">2012/05/01(火) 12:00:00.11</span> <span class="id">ID:abc</span><span class="count"> (2/2)</span><span class="refs"> 返信: <a href="#3">&gt;&gt;3</a></span></div><div class="text"><a class="re" href="#1" aria-describedby="v2-1">&gt;&gt;1</a><span class="pv" id="v2-1"><span class="ph"><a class="num" href="#1">1</a> 名前：名無しさん [sage] 投稿日：2024/09/10(火) 07:22:22.16 ID:abc</span>
&lt;b&gt;&amp;&lt;/b&gt; &quot;x&quot; http://a.invalid/?q=1&amp;r=2</span> それな <a class="re" href="#3" aria-describedby="v2-2">&gt;&gt;3</a><span class="pv" id="v2-2"><span class="ph"><a class="num" href="#3">3</a> 名無しさん 2024/09/10(火) 07:22:22.16</span>
＞＞１-2 &gt;&gt;9</span></div></article><article class="post" id="3" aria-label="3"><div class="ph"><span class="num">3</span> <span class="name">名無しさん</span> <span class="date">2024/09/10(火) 07:22:22.16</span><span class="refs"> 返信: <a href="#2">&gt;&gt;2</a></span></div><div class="text"><a class="re" href="#1" aria-describedby="v3-1">＞＞１</a><span class="pv" id="v3-1"><span class="ph"><a class="num" href="#1">1</a> 名前：名無しさん [sage] 投稿日：2024/09/10(火) 07:22:22.16 ID:abc</span>
&lt;b&gt;&amp;&lt;/b&gt; &quot;x&quot; http://a.invalid/?q=1&amp;r=2</span>-<a class="re" href="#2" aria-describedby="v3-2">2</a><span class="pv" id="v3-2"><span class="ph"><a class="num" href="#2">2</a> 名前：名無しさん：2012/05/01(火) 12:00:00.11 ID:abc</span>
&gt;&gt;1 それな &gt;&gt;3</span> &gt;&gt;9</div></article>
</div>
</main>
</body>
</html>
)";

// The thread in Shift-JIS with CR LF, as the boards' browsers save it.
std::string ShiftJisThread() {
    // Encoded by hand from the text above: this test must not depend on a converter.
    std::string t =
        "\x89\xb7\x90\xf2\x83\x58\x83\x8c\r\n"
        "1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1 [sage] "
        "\x93\x8a\x8d\x65\x93\xfa\x81\x46"
        "2024/09/10(\x89\xce) 07:22:22.16 ID:abc\r\n"
        "<b>&</b> \"x\" http://a.invalid/?q=1&r=2\r\n"
        "\r\n"
        "2 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1\x81\x46"
        "2012/05/01(\x89\xce) 12:00:00.11 ID:abc\r\n"
        ">>1 \x82\xbb\x82\xea\x82\xc8 >>3\r\n"
        "3 \x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1 2024/09/10(\x89\xce) 07:22:22.16\r\n"
        "\x81\x84\x81\x84\x82\x50-2 >>9\r\n"
        "\r\n";
    return t;
}

TEST(ModernPage, ShiftJisThread) {
    const Page page = ConvertModern("thread.txt", ShiftJisThread());
    EXPECT_EQ(page.result.outcome, ConversionOutcome::Done);
    EXPECT_EQ(page.result.posts, 3u);
    EXPECT_EQ(page.result.records, 9u);
    EXPECT_EQ(page.result.undecodable, 0u);
    EXPECT_EQ(page.body, kThreadBody);
    for (const char* needed :
         {"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n",
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n",
          "<title>温泉スレ</title>\n<style>\n", "prefers-color-scheme:dark", "white-space:pre-wrap",
          "IPAMonaPGothic", ".re:hover+.pv", ".re:focus-visible+.pv"}) {
        EXPECT_NE(page.head.find(needed), std::string::npos) << needed;
    }
    EXPECT_EQ(page.head.find("<script"), std::string::npos);
    // The echo: every line as read, Shift-JIS, CR LF.
    EXPECT_EQ(page.echoed, ShiftJisThread());
    // The title line without the blanks around it; a line of blanks alone is no title.
    const std::string post = "1 名前：a 投稿日：2023/04/30(日) 10:00:00 ID:aaa\r\nx\r\n";
    EXPECT_NE(ConvertModern("q2.txt", "　\r\n 温泉スレ　\r\n" + post)
                  .head.find("<title>温泉スレ</title>"),
              std::string::npos);
    EXPECT_NE(ConvertModern("q2.txt", "\t　\r\n" + post).head.find("<title>q2</title>"),
              std::string::npos);
    // A browser's navigation above the title is no title.
    EXPECT_NE(ConvertModern("q2.txt", "■掲示板に戻る■ 全部 1- 101- 最新50\r\n温泉スレ\r\n" + post)
                  .head.find("<title>温泉スレ</title>"),
              std::string::npos);
}

TEST(ModernPage, Utf8ThreadWithLoneCrsAndABadByte) {
    std::string thread = std::string("\xEF\xBB\xBF") + kThread;
    for (char& c : thread) {
        if (c == '\n') c = '\r';
    }
    const Page page = ConvertModern("thread.txt", thread);
    EXPECT_EQ(page.body, kThreadBody);
    EXPECT_EQ(page.echoed, ShiftJisThread());

    // A byte that is not UTF-8 is shown as U+FFFD and counted; the rest stays UTF-8.
    const std::size_t at = thread.find("それな");
    const Page bad = ConvertModern("thread.txt", thread.substr(0, at) + "\xFF" + thread.substr(at));
    EXPECT_EQ(bad.result.undecodable, 1u);
    EXPECT_NE(bad.body.find("&gt;&gt;1</a><span class=\"pv\" id=\"v2-1\">"), std::string::npos);
    EXPECT_NE(bad.body.find("</span> \xEF\xBF\xBD"
                            "それな"),
              std::string::npos);
}

// A post that reprints the header of the next number from another thread keeps it as its
// text when the real post of that number follows; without one after it, or after a blank
// line, the header starts its post, unless the copy parts its posts by blank lines and ends
// there. A reprinted run of numbers a little ahead, or of the next numbers, stays text when the
// thread comes back from it.
TEST(ModernPage, AQuotedHeaderOfTheNextNumber) {
    const std::string head =
        "1 名前：a 投稿日：2023/04/30(日) 10:00:00 ID:aaa\nはじめ\n"
        "2 名前：b 投稿日：2023/04/30(日) 10:01:00 ID:bbb\n前スレより\n"
        "3 名前：z 投稿日：2023/04/29(土) 09:00:00 ID:zzz\n昔の話\n";
    const Page quoted =
        ConvertModern("thread.txt", head +
                                        "3 名前：c 投稿日：2023/04/30(日) 10:02:00 ID:ccc\n>>2\n"
                                        "4 名前：d 投稿日：2023/04/30(日) 10:03:00 ID:ddd\n>>3\n");
    EXPECT_EQ(quoted.result.posts, 4u);
    EXPECT_NE(
        quoted.body.find("前スレより\n3 名前：z 投稿日：2023/04/29(土) 09:00:00 ID:zzz\n昔の話"),
        std::string::npos);
    EXPECT_NE(quoted.body.find("<span class=\"num\">3</span> 名前：<span class=\"name\">c</span>"),
              std::string::npos);
    for (const std::string& thread :
         {head, head + "4 名前：d 投稿日：2023/04/30(日) 10:03:00 ID:ddd\n>>3\n"}) {
        const Page page = ConvertModern("thread.txt", thread);
        EXPECT_NE(
            page.body.find("<span class=\"num\">3</span> 名前：<span class=\"name\">z</span>"),
            std::string::npos);
    }
    // Twelve posts of another thread reprinted whole, 250 lines, stay in the post that
    // reprints them: the posts after them continue from it.
    std::string run = "1 名前：a 投稿日：2023/04/30(日) 10:00:00 ID:aaa\n前スレより\n";
    for (int n = 980; n < 992; ++n) {
        run += std::to_string(n) + " 名前：q 投稿日：2023/04/29(土) 09:00:00 ID:q\n";
        for (int i = 0; i < 20; ++i) run += "引用\n";
    }
    const Page reprinted = ConvertModern(
        "thread.txt", run + "2 名前：c 投稿日：2023/04/30(日) 10:02:00 ID:ccc\n>>1\n");
    EXPECT_EQ(reprinted.result.posts, 2u);
    EXPECT_EQ(reprinted.body.find("id=\"980\""), std::string::npos);

    // In a copy with blank lines between posts: the reprint as a post's first line, and a run
    // of near numbers ("12", "13") reprinted before the thread goes on from its last post.
    const auto post = [](int n, const std::string& text) {
        return std::to_string(n) + " ：名無しさん：2023/04/29(土) 12:00:00.00 ID:p" +
               std::to_string(n) + "\n" + text + "\n\n";
    };
    const Page first = ConvertModern(
        "thread.txt", post(1, "a") +
                          post(2, "3 ：名無しさん：2023/04/20(木) 10:00:00.00 ID:q\n見て") +
                          post(3, ">>2") + post(4, "d"));
    EXPECT_EQ(first.result.posts, 4u);
    EXPECT_NE(first.body.find("<div class=\"text\">3 ：名無しさん：2023/04/20(木)"),
              std::string::npos);
    EXPECT_NE(first.body.find("id=\"3\""), std::string::npos);
    const Page near = ConvertModern(
        "thread.txt",
        post(1, "a") + post(2, "他スレから\n" + post(12, "向こうの12") + post(13, "向こうの13")) +
            post(3, ">>2") + post(4, "d"));
    EXPECT_EQ(near.result.posts, 4u);
    EXPECT_EQ(near.body.find("id=\"12\""), std::string::npos);
    EXPECT_NE(near.body.find("id=\"3\""), std::string::npos);
    // Dated lines of a list, numbered as the posts after it, stay the post's text.
    const Page listed = ConvertModern(
        "thread.txt", post(1,
                           "日程\n1 2023/05/01(月) 19:00 (新宿)\n2 2023/05/08(月) 19:00 (渋谷)\n"
                           "3 2023/05/15(月) 19:00 (池袋)\n書いて") +
                          post(2, "行く") + post(3, "3 人で"));
    EXPECT_EQ(listed.result.posts, 3u);
    EXPECT_NE(listed.body.find("<span class=\"num\">2</span> ：<span class=\"name\">名無しさん"),
              std::string::npos);
    // Posts the copy lacks stay lacking when a post after them reprints one of them.
    std::string gap = post(1, "a") + post(2, "b");
    for (int n = 6; n < 12; ++n) gap += post(n, n == 9 ? post(4, "引用") : "c");
    const Page lacking = ConvertModern("thread.txt", gap);
    EXPECT_EQ(lacking.result.posts, 8u);
    EXPECT_EQ(lacking.body.find("id=\"4\""), std::string::npos);

    // A reprinted run a little ahead when the copy lacks the post after it: the thread comes
    // back up to the run's numbers, so the run was quoted.
    std::string back =
        post(1, "a") + post(2, "他スレより\n" + post(12, "向こうの12") +
                                   "13 ：名無しさん：2023/04/20(木) 10:00:00.00 ID:q\n向こうの13");
    for (int n = 4; n < 16; ++n) back += post(n, "本物" + std::to_string(n));
    const Page comeback = ConvertModern("thread.txt", back);
    EXPECT_EQ(comeback.result.posts, 14u);
    EXPECT_NE(comeback.body.find("<article class=\"post\" id=\"4\""), std::string::npos);
    EXPECT_NE(
        comeback.body.find(
            "id=\"12\" aria-label=\"12\"><div class=\"ph\"><span class=\"num\">12</span> ：<span "
            "class=\"name\">名無しさん</span>：<span class=\"date\">2023/04/29(土) "
            "12:00:00.00</span> <span class=\"id\">ID:p12</span></div><div class=\"text\">本物12"),
        std::string::npos);

    // Without blank lines between posts: a run reprinted with the numbers of the posts after
    // it stays text, and a post reprinting the header of the post before it stays a post.
    const auto plain = [](int n, const std::string& text) {
        return std::to_string(n) + " ：名無しさん：2023/04/29(土) 12:00:00.00 ID:p" +
               std::to_string(n) + "\n" + text + "\n";
    };
    const std::string other = "：名無しさん：2023/04/20(木) 10:00:00.00 ID:q\n";
    const Page nextRun = ConvertModern(
        "thread.txt",
        plain(1, "a") +
            plain(2, "他スレより\n3 " + other + "向こうの3\n4 " + other + "向こうの4\nだってさ") +
            plain(3, "本物3") + plain(4, "本物4") + plain(5, "本物5"));
    EXPECT_EQ(nextRun.result.posts, 5u);
    EXPECT_NE(nextRun.body.find("だってさ</div></article><article class=\"post\" id=\"3\""),
              std::string::npos);
    EXPECT_NE(nextRun.body.find("ID:p4</span></div><div class=\"text\">本物4"), std::string::npos);
    // The posts coming back over the run may be deleted, reprint posts of their own or list
    // dates numbered as the run; a list in a later post takes no post away.
    const std::string reprint = "他スレより\n3 " + other + "向こうの3\n4 " + other + "向こうの4";
    const Page deleted = ConvertModern(
        "thread.txt", plain(1, "a") + plain(2, reprint) +
                          plain(3, "本物3\n15 " + other + "向こうの15\n16 " + other + "x") +
                          "4 ：あぼーん：あぼーん\n" + plain(5, "本物5") + plain(6, "本物6"));
    EXPECT_EQ(deleted.result.posts, 6u);
    EXPECT_NE(deleted.body.find("ID:p3</span></div><div class=\"text\">本物3"), std::string::npos);
    EXPECT_NE(deleted.body.find("<article class=\"post deleted\" id=\"4\""), std::string::npos);
    const Page listing = ConvertModern(
        "thread.txt", plain(1, "a") + plain(2, "b") +
                          plain(3,
                                "日程\n1 2023/05/07(月) 19:00 (新宿)\n2 2023/05/14(月) 19:00 "
                                "(新宿)\n3 2023/05/21(月) 19:00 (新宿)") +
                          plain(4, "d") + plain(5, "e"));
    EXPECT_EQ(listing.result.posts, 5u);
    EXPECT_NE(listing.body.find("ID:p2</span></div><div class=\"text\">b"), std::string::npos);
    const Page own = ConvertModern("thread.txt", plain(1, "a") + plain(2, "b") +
                                                     plain(3, "2 " + other + "b\nこれ") +
                                                     plain(4, "d") + plain(5, "e"));
    EXPECT_EQ(own.result.posts, 5u);

    // In a copy whose posts are parted by blank lines, headers right after the last post's
    // text at the copy's end are its reprint; a blank line left out before a post keeps it a
    // post, when the thread goes on after a blank line or when it is the copy's last.
    std::string parted;
    for (int n = 1; n < 11; ++n) parted += post(n, "本物" + std::to_string(n));
    const Page end = ConvertModern(
        "thread.txt",
        parted + post(11, "他スレより\n12 " + other + "向こうの12\n13 " + other + "向こうの13"));
    EXPECT_EQ(end.result.posts, 11u);
    EXPECT_NE(end.body.find("他スレより\n12 ：名無しさん"), std::string::npos);
    std::string joinedPost = parted + post(11, "本物11");
    joinedPost.erase(joinedPost.size() - 1);  // no blank line before 12
    EXPECT_EQ(ConvertModern("thread.txt", joinedPost + post(12, "本物12") + post(13, "本物13"))
                  .result.posts,
              13u);
    EXPECT_EQ(ConvertModern("thread.txt", joinedPost + post(12, "本物12")).result.posts, 12u);
    // The board's closing posts stay posts.
    EXPECT_EQ(
        ConvertModern("thread.txt", joinedPost + "1001 １００１ Over 1000 Thread\n超えました\n"
                                                 "1002 過去ログ ★ [過去ログ]\n格納されています\n")
            .result.posts,
        13u);
}

TEST(ModernPage, NamedEncoding) {
    // Well-formed UTF-8 is taken for UTF-8 unless another encoding is named.
    const std::string thread = "1 x 2024/09/10 10:00\r\n\xE3\x81\x82\r\n";
    const Page found = ConvertModern("thread.txt", thread);
    EXPECT_EQ(found.result.undecodable, 0u);
    EXPECT_NE(found.body.find(">\xE3\x81\x82</div>"), std::string::npos);  // あ
    // In Shift-JIS, E3 81 is 縺 and 82 a lead byte the line end leaves alone.
    const Page named = ConvertModern("thread.txt", thread, "CP932");
    EXPECT_EQ(named.result.undecodable, 1u);
    EXPECT_NE(named.body.find(">\xE7\xB8\xBA\xEF\xBF\xBD</div>"), std::string::npos);
    EXPECT_EQ(ConvertModern("thread.txt", thread, "NO-SUCH-CODE").result.outcome,
              ConversionOutcome::ReadFailed);
}

TEST(ModernPage, DatThread) {
    const std::string dat =
        "名無しさん<>sage<>2024/09/10(火) 07:22:22.16 ID:abc<> 一行目 <br> "
        "<a href=\"../test/read.cgi/x/1/2\" target=\"_blank\">&gt;&gt;2</a> &lt;script&gt; <>温泉 "
        "&amp; その3\n"
        "<b>名無し</b><><>2024/09/10(火) 07:23:00.00 ID:abc<> <a "
        "href=\"javascript:x\">&gt;&gt;1</a> <>\n";
    const Page page = ConvertModern("1234.dat", dat);
    EXPECT_EQ(page.result.posts, 2u);
    EXPECT_EQ(page.body, R"(
</head>
<body>
<main>
<h1>温泉 &amp; その3</h1>
<div class="posts">
<article class="post" id="1" aria-label="1"><div class="ph"><span class="num">1</span> <span class="name">名無しさん</span> [<span class="mail">sage</span>] <span class="date">2024/09/10(火) 07:22:22.16</span> <span class="id">ID:abc</span><span class="count"> (1/2)</span><span class="refs"> 返信: <a href="#2">&gt;&gt;2</a></span></div><div class="text">一行目
<a class="re" href="#2" aria-describedby="v1-1">&gt;&gt;2</a><span class="pv" id="v1-1"><span class="ph"><a class="num" href="#2">2</a> 名無し 2024/09/10(火) 07:23:00.00 ID:abc</span>
&gt;&gt;1</span> &lt;script&gt;</div></article><article class="post" id="2" aria-label="2"><div class="ph"><span class="num">2</span> <span class="name">名無し</span> <span class="date">2024/09/10(火) 07:23:00.00</span> <span class="id">ID:abc</span><span class="count"> (2/2)</span><span class="refs"> 返信: <a href="#1">&gt;&gt;1</a></span></div><div class="text"><a class="re" href="#1" aria-describedby="v2-1">&gt;&gt;1</a><span class="pv" id="v2-1"><span class="ph"><a class="num" href="#1">1</a> 名無しさん [sage] 2024/09/10(火) 07:22:22.16 ID:abc</span>
一行目
&gt;&gt;2 &lt;script&gt;</span></div></article>
</div>
</main>
</body>
</html>
)");
    // The same lines under another name are found to be a .dat by their shape.
    EXPECT_EQ(ConvertModern("thread.txt", dat).body, page.body);
    // Blank lines before the first tell nothing of the form: a raw log so led in is read as
    // it is without them, by its shape or by its name.
    const std::string raw =
        "5<>名無し<><>2008/03/01(土) 12:00:00<>本文<>題<>aBcD\n"
        "7<>名無し<>sage<>2008/03/01(土) 12:01:00<>&gt;&gt;5<><>aBcD\n";
    const Page rawPage = ConvertModern("raw.txt", raw);
    EXPECT_NE(rawPage.body.find("<h1>題</h1>"), std::string::npos);
    EXPECT_NE(rawPage.body.find("id=\"7\""), std::string::npos);
    EXPECT_EQ(ConvertModern("raw.txt", "\r\n\n" + raw).body, rawPage.body);
    EXPECT_EQ(ConvertModern("raw.dat", "\n" + raw).body, ConvertModern("raw.dat", raw).body);

    // A post of megabytes comes in pieces: each is read as .dat HTML, a "<br>" or "&gt;" cut
    // between two pieces included, and the post's body ends at its field's end. A broken line
    // that long is text whole.
    std::string lines;
    for (int i = 0; i < 700000; ++i) lines += "a&gt;<br>";
    const Page longPost =
        ConvertModern("1.dat", "n<><>2024/09/10 07:22 ID:a<> " + lines + "end <>T\n" + "x" + lines +
                                   "broken\nn<><>2024/09/10 07:23 ID:b<> b <>\n");
    EXPECT_EQ(longPost.result.posts, 3u);
    EXPECT_EQ(longPost.body.find("&lt;br"), std::string::npos);
    EXPECT_EQ(longPost.body.find("&amp;g"), std::string::npos);
    EXPECT_NE(longPost.body.find("a&gt;\nend</div>"), std::string::npos);
    EXPECT_NE(longPost.body.find("a&gt;\nbroken</div>"), std::string::npos);
}

// Another program rewrites, cuts or extends the thread once the first reading has seen all of
// it (the last line, with no line end after it, comes only then): a page of a changed thread
// fails and the old page stays; a thread that only grew gives the page of what was first read.
TEST(ModernPage, AThreadChangedBetweenItsReadings) {
#ifdef _WIN32
    GTEST_SKIP() << "a thread being read is held exclusively here: nobody can change it";
#else
    struct Changer : ConversionListener {
        std::string path, changed;
        int lines = 0;
        bool StopRequested() override {
            if (++lines == 10) std::ofstream(path, std::ios::binary | std::ios::trunc) << changed;
            return false;
        }
    };
    const std::string thread = ShiftJisThread() + "end";  // ten lines
    const std::string grown = thread + "\r\n>>1\r\n";
    for (const std::string& changed :
         {thread.substr(0, thread.size() - 3) + "END", thread.substr(0, 100), grown}) {
        TempFolder folder;
        Changer changer;
        changer.path = folder.Write("thread.txt", thread);
        changer.changed = changed;
        const std::string page = folder.Write("page.html", "old page");
        PageOptions options;
        options.kind = PageKind::Modern;
        options.title = Text("thread.txt");
        const ConversionResult r =
            ConvertIntoPlace(Text(changer.path), Text(page), changer, options, true);
        if (changed == grown) {
            EXPECT_EQ(r.outcome, ConversionOutcome::Done);
            EXPECT_EQ(r.records, 10u);
            const Page first = ConvertModern("thread.txt", thread);
            const Page placed = Split(TempFolder::Read(page), {}, {});
            EXPECT_EQ(placed.head + placed.body, first.head + first.body);
        } else {
            EXPECT_EQ(r.outcome, ConversionOutcome::ThreadChanged) << changed.size();
            EXPECT_EQ(TempFolder::Read(page), "old page");
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), {}), 2);
    }
#endif
}

// Nothing of a thread can hide or pass for something else: control bytes are shown as
// pictures, marks that reorder or hide text are shown in IDs and after addresses, IDs are
// counted by what they show, and ranges name the posts between their ends when short.
TEST(ModernPage, NothingHidesOrPassesForAnother) {
    const Page page =
        ConvertModern("spoof.txt",
                      "1 n\u202E 2024/09/10 10:00 ID:abc\u200B\n"
                      "http://x.invalid/\u202Egpj.exe \x1B[31m\x07\xC2\x9B\x7F >>1-4 >>2-200\n"
                      "2 n 2024/09/10 10:01 ID:abc\n>>1\n3 n 2024/09/10 10:02 ID:abc\u200B\n"
                      "4 n 2024/09/10 10:03 ID:xy\x01\n5 n 2024/09/10 10:04 ID:xy\u2401\n"
                      "6 n 2024/09/10 10:05 ID:qq\U000E0041\n7 n 2024/09/10 10:06 ID:qq\u206A\n"
                      "8 n 2024/09/10 10:07 ID:qq\uFE0F\n");
    const std::string& b = page.body;
    const auto has = [&](const std::string& what) { return b.find(what) != std::string::npos; };
    const std::string zwsp = "ID:abc<span class=\"ctl\">U+200B</span>";
    EXPECT_TRUE(has("<span class=\"id\">" + zwsp + "</span><span class=\"count\"> (1/2)"));
    EXPECT_TRUE(has("<span class=\"id\">" + zwsp + "</span><span class=\"count\"> (2/2)"));
    EXPECT_TRUE(has("<span class=\"id\">ID:abc</span><span class=\"refs\">"));  // alone
    // In a preview only what could reorder its neighbours is isolated.
    EXPECT_TRUE(has("\">1</a> <bdi>n\u202E</bdi> 2024/09/10 10:00 " + zwsp + "</span>\n"));
    // A name keeps its mark, isolated by the stylesheet; after an address it is shown.
    EXPECT_TRUE(has("<span class=\"name\">n\u202E</span>"));
    EXPECT_TRUE(
        has("</a><span class=\"ctl\">U+202E</span>gpj.exe "
            "\u241B[31m\u2407\uFFFD\u2421 <a class=\"re\""));
    EXPECT_TRUE(has("\nhttp://x.invalid/<span class=\"ctl\">U+202E</span>gpj.exe \u241B"));
    // A tag, a deprecated format mark and a variation selector show nothing: shown too.
    for (const char* mark : {"E0041", "206A", "FE0F"}) {
        EXPECT_TRUE(has(std::string("<span class=\"id\">ID:qq<span class=\"ctl\">U+") + mark +
                        "</span></span>"))
            << mark;
    }
    // \x01 and U+2401 look the same on the page, so they count as one ID.
    EXPECT_TRUE(has("ID:xy\u2401</span><span class=\"count\"> (1/2)"));
    EXPECT_TRUE(has("ID:xy\u2401</span><span class=\"count\"> (2/2)"));
    // >>1-4 is a reply to 2 and 3 too; >>2-200 (too wide) to 2 only.
    EXPECT_TRUE(
        has("id=\"2\" aria-label=\"2\"><div class=\"ph\"><span class=\"num\">2</span> "
            "<span class=\"name\">n</span> <span class=\"date\">2024/09/10 10:01</span> "
            "<span class=\"id\">ID:abc</span><span class=\"refs\"> \u8FD4\u4FE1: "
            "<a href=\"#1\">&gt;&gt;1</a></span>"));
    EXPECT_TRUE(
        has("<span class=\"num\">3</span> <span class=\"name\">n</span> "
            "<span class=\"date\">2024/09/10 10:02</span> <span class=\"id\">" +
            zwsp +
            "</span><span class=\"count\"> (2/2)</span><span class=\"refs\"> "
            "\u8FD4\u4FE1: <a href=\"#1\">&gt;&gt;1</a></span>"));
    EXPECT_FALSE(
        has("<span class=\"num\">5</span> <span class=\"name\">n</span> "
            "<span class=\"date\">2024/09/10 10:04</span> <span class=\"id\">ID:xy\u2401"
            "</span><span class=\"count\"> (2/2)</span><span class=\"refs\">"));
    for (std::size_t i = 0; i < b.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(b[i]);
        EXPECT_FALSE(c < 0x20 && c != '\n') << "a control byte at " << i;
    }
}

// The logs people keep, one of each kind (tests/data/logs), and what each page must show.
TEST(ModernPage, KeptLogs) {
    struct Case {
        const char* file;
        uint64_t posts;
        uint64_t undecodable;  // bytes, and character references, shown as U+FFFD
        uint64_t badReferences;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"copy-sjis.txt",
         1001,
         0,
         0,
         {"<title>【雑談】週末の温泉めぐり その12</title>",
          "<h1>【雑談】週末の温泉めぐり その12</h1>",
          // A header quoted far ahead, or before posts that follow, stays in its post.
          "前スレの名レスを貼っとく\n980 名前：", "わかる\n9 名前：",
          "<article class=\"post\" id=\"6\" aria-label=\"6\">",
          "<article class=\"post\" id=\"9\" aria-label=\"9\">",
          "<article class=\"post board\" id=\"1001\" aria-label=\"1001\">",
          "超えました。\n新しいスレッドを",
          "<article class=\"post board\" id=\"1002\" aria-label=\"1002\">",
          "<span class=\"date\">2013/04/01(月) NY:AN:NY.AN</span>",
          "<a class=\"re\" href=\"#1\" aria-describedby=\"v2-1\">&gt;&gt;&gt;1</a>",
          "h ttp://example.invalid/old/ も hxxp",
          "<span class=\"id\">ID:??"
          "?</span></div>",
          "ID:Abc12345</span><span class=\"count\"> (1/3)"},
         {"href=\"http://example.invalid/old/", "id=\"4\"",
          "id=\"980\"><div class=\"ph\">"
          "<span class=\"num\">980</span> 名前：<span "
          "class=\"name\">名無しさん＠お腹いっぱい。</span> "
          "投稿日：<span class=\"date\">2023/04/29"}},
        {"browser-copy.txt",
         10,
         0,
         0,
         {"<title>【雑談】週末の温泉めぐり その13</title>",
          // Headers reprinted as a post's first line, as a dated list, or as a run a little
          // ahead stay in their posts; IDs count without the copy's own counts.
          "<div class=\"text\">503: 名無しさん＠お腹いっぱい。 2023/05/19(金)",
          "次の日程\n505: 2023/06/03(土) 10:00 (箱根)\n506: ",
          "他スレより\n\n515: 名無しさん 2023/05/18(木)",
          "<span class=\"num\">505</span>: <span class=\"name\">名無しさん＠お腹いっぱい。",
          "ID:Onsen001(3/3)</span><span class=\"count\"> (3/3)",
          "<article class=\"post deleted\" id=\"508\"", "3 人で行きます\n2023 年は2回目",
          "<span class=\"id\">ID:??"
          "?</span></div>"},
         {"<h1>https:", "id=\"515\"", "href=\"http://example.invalid/no/"}},
        {"cut-utf8.txt",
         3,
         2,
         0,
         {"<h1>温泉スレ UTF-8 版</h1>", "わかる\xEF\xBF\xBD！", "ダウンロー\xEF\xBF\xBD</div>"},
         {}},
        {"board.dat",
         8,
         0,
         1,
         {"<h1>温泉めぐり その12</h1>",
          "<article class=\"post deleted\" id=\"2\" aria-label=\"2\">",
          "<article class=\"post broken\" id=\"4\" aria-label=\"4\">",
          "<span class=\"cap\">管理人 ★</span>",
          "<article class=\"post board\" id=\"7\" aria-label=\"7\">",
          "<article class=\"post board\" id=\"8\" aria-label=\"8\">",
          "©な温泉 ♥ 😀 \xEF\xBF\xBD &amp;#128519; <a class=\"re\" href=\"#2\" "
          "aria-describedby=\"v1-1\">",
          "<span class=\"be\">BE:123456789-2BP(1000)</span> <span "
          "class=\"badge\">sssp://img.example.invalid/ico/u_sii.gif</span>",
          "ID:Abc12345</span><span class=\"count\"> (1/2)</span>"},
         {"<img", "[無断転載禁止]"}},
        {"rental-eucjp.dat",
         3,
         0,
         0,
         {"<h1>レンタル温泉板スレ</h1>", "<article class=\"post\" id=\"5\" aria-label=\"5\">",
          "温泉スレ立てました\nよろしく", "ID:aBcD1234</span><span class=\"count\"> (2/2)"},
         {"id=\"3\"", "&lt;&gt;"}},
        {"regional.dat",
         2,
         0,
         0,
         {"<h1>ご当地温泉スレ</h1>", "id=\"3\"", "<span class=\"id\">ID:Reg00002</span>"},
         {}},
        {"old-comma.dat", 2, 0, 0, {"<h1>旧温泉スレ</h1>", "昔の温泉スレ,懐かしい\n二行目"}, {}},
        {"utf16-bom.txt",
         1,
         0,
         0,
         {"<title>utf16-bom</title>", "<h1>utf16-bom</h1>", ">絵文字😀も</div>"},
         {}},
    };
    for (const Case& c : cases) {
        const std::string thread =
            TempFolder::Read(std::string(HOROFU_TEST_DATA) + "/logs/" + c.file);
        const Page page = ConvertModern(c.file, thread);
        EXPECT_EQ(page.result.posts, c.posts) << c.file;
        EXPECT_EQ(page.result.undecodable, c.undecodable) << c.file;
        EXPECT_EQ(page.result.badReferences, c.badReferences) << c.file;
        const std::string whole = page.head + page.body;
        for (const std::string& shown : c.shown) {
            EXPECT_NE(whole.find(shown), std::string::npos) << c.file << ": " << shown;
        }
        for (const std::string& absent : c.absent) {
            EXPECT_EQ(whole.find(absent), std::string::npos) << c.file << ": " << absent;
        }
    }
}

TEST(ModernNg, RulesAndPatterns) {
    NgFilter filter;
    std::size_t line = 0;
    std::string reason;
    EXPECT_TRUE(filter.Parse("# comment\r\nid:ID:Troll001\n\nname:荒らし\nword:spam\nre:^w{3,}$\n",
                             line, reason));
    for (const char* bad :
         {"id:a\nword\n", "id:a\nword:\n", "id:a\nword: \n", "id:a\nre:(a+)+\n", "id:a\nre:(\n",
          "id:a\nre:(a|aa)*\n", "id:a\nre:(a)\\1\n", "id:a\nre:a.*b.*c.*\n", "id:a\nNAME:x\n"}) {
        NgFilter refused;
        EXPECT_FALSE(refused.Parse(bad, line, reason)) << bad;
        EXPECT_EQ(line, 2u) << bad;
        EXPECT_FALSE(reason.empty());
    }
    // Lines may end in a lone CR, as a thread's may; a line of blanks is an empty one.
    NgFilter crOnly;
    EXPECT_TRUE(crOnly.Parse("id:a\rword:spam\r \t\r", line, reason)) << reason;
    EXPECT_TRUE(crOnly.MatchesLine("spam"));
    NgFilter blanks;
    EXPECT_FALSE(blanks.Parse("id:a\n  \n\xE3\x80\x80\nbad\r\n", line, reason));
    EXPECT_EQ(line, 4u);
    // Blanks around a rule are not part of it; an ID with blanks inside (a comment after it)
    // would match nothing, and is refused.
    NgFilter spaced;
    ASSERT_TRUE(spaced.Parse("id: Troll001 \n  # trolls\n\tword:spam\t\nname:荒らし\xE3\x80\x80\n",
                             line, reason));
    PostHeader header;
    header.idKey = "Troll001";
    EXPECT_TRUE(spaced.MatchesHeader(header));
    EXPECT_TRUE(spaced.MatchesLine("spam"));
    header.idKey = "";
    header.parts.push_back({HeaderPartKind::Name, "荒らし"});
    EXPECT_TRUE(spaced.MatchesHeader(header));
    // A name with its trip is found as the page shows it, whatever blanks stand between.
    NgFilter tripped;
    ASSERT_TRUE(tripped.Parse("name:自治厨◆TrIp01\nname:荒らし ◆TrIp02\n", line, reason));
    for (const bool blank : {false, true}) {
        for (const char* name : {"自治厨", "荒らし"}) {
            header.parts = {{HeaderPartKind::Name, name}};
            if (blank) header.parts.push_back({HeaderPartKind::Text, " "});
            header.parts.push_back(
                {HeaderPartKind::Trip, name == std::string("自治厨") ? "◆TrIp01" : "◆TrIp02"});
            EXPECT_TRUE(tripped.MatchesHeader(header)) << name << blank;
        }
    }
    header.parts = {{HeaderPartKind::Name, "自治厨"}};
    EXPECT_FALSE(tripped.MatchesHeader(header));
    NgFilter commented;
    EXPECT_FALSE(commented.Parse("id:a\nid:Troll001 # 荒らし\n", line, reason));
    EXPECT_EQ(line, 2u);
    // Words and names are found however wide, and in whatever case, they are written.
    NgFilter folded;
    ASSERT_TRUE(folded.Parse("word:スパム\nword:spam\nname:ＡＢＣ\n", line, reason));
    for (const char* caught : {"ｽﾊﾟﾑ来た", "ＳＰＡＭ広告", "Spam", "すぱむ? スパム"}) {
        EXPECT_TRUE(folded.MatchesLine(caught)) << caught;
    }
    EXPECT_FALSE(folded.MatchesLine("スパイス"));
    header.parts = {{HeaderPartKind::Name, "abc"}};
    EXPECT_TRUE(folded.MatchesHeader(header));
    header.parts = {{HeaderPartKind::Name, "ａｂｃ"}};
    EXPECT_TRUE(folded.MatchesHeader(header));
    // A line of megabytes comes in pieces: a word across two is found, and a piece's start
    // and end are no line's.
    NgFilter pieces;
    ASSERT_TRUE(pieces.Parse("word:spam\nre:^y\nre:x$\n", line, reason));
    std::string carry;
    EXPECT_FALSE(pieces.MatchesPiece(std::string(3000, 'x') + "ｓｐ", false, carry));
    EXPECT_TRUE(pieces.MatchesPiece("ａｍ" + std::string(3000, 'z'), false, carry));
    carry.clear();
    EXPECT_FALSE(pieces.MatchesPiece("a" + std::string(3000, 'x'), false, carry));
    EXPECT_FALSE(pieces.MatchesPiece(std::string(3000, 'y') + "a", true, carry));
    EXPECT_TRUE(carry.empty());
    EXPECT_TRUE(pieces.MatchesPiece(std::string(3000, 'y'), false, carry));
    // Patterns that stay bounded are taken.
    for (const char* fine : {"(ab)+", "(a+b)?", "[(a+)+]x*", "\\(a+\\)+", "(a|b){2}", "(?:ab)+"}) {
        EXPECT_EQ(RefusedPattern(fine), nullptr) << fine;
    }
    // A line far longer than a window is still searched to its end.
    EXPECT_TRUE(filter.MatchesLine(std::string(5000, 'x') + "spam"));
    EXPECT_TRUE(filter.MatchesLine("www"));
    EXPECT_FALSE(filter.MatchesLine("wwwx"));
    // A line's start and end are the line's, not a window's.
    NgFilter anchored;
    ASSERT_TRUE(anchored.Parse("re:^荒らし\nre:b$\nre:\\bcd\nre:xy\\b\n", line, reason));
    EXPECT_TRUE(anchored.MatchesLine("荒らし来た"));
    EXPECT_FALSE(anchored.MatchesLine(std::string(768, 'x') + "荒らし" + std::string(600, 'y')));
    EXPECT_FALSE(anchored.MatchesLine(std::string(1023, 'a') + "b" + std::string(1000, 'c')));
    EXPECT_FALSE(anchored.MatchesLine(std::string(768, 'c') + "cd" + std::string(600, 'c')));
    EXPECT_FALSE(anchored.MatchesLine(std::string(1022, 'a') + "xy" + std::string(600, 'z')));
    EXPECT_TRUE(anchored.MatchesLine(std::string(1022, 'a') + "xy " + std::string(600, 'z')));
    // Patterns are about characters, not the bytes of UTF-8.
    NgFilter wide;
    ASSERT_TRUE(wide.Parse("re:^[ァ-ヶ]+$\nre:^.{4}$\nre:[死殺]ね\nre:笑{3}\n", line, reason));
    EXPECT_TRUE(wide.MatchesLine("カタカナ"));
    EXPECT_TRUE(wide.MatchesLine("漢字だけ"));
    EXPECT_TRUE(wide.MatchesLine("殺ね"));
    EXPECT_TRUE(wide.MatchesLine("笑笑笑"));
    EXPECT_FALSE(wide.MatchesLine("こんにちは"));
    EXPECT_FALSE(wide.MatchesLine("途中ね"));  // 中 (E4 B8 AD) ends as 死 (E6 AD BB) starts
    // Patterns that backtrack past any bound on some text give up there, as not matching;
    // those that find a match early still do.
    NgFilter slow;
    ASSERT_TRUE(slow.Parse("re:(a|aa){25}b\nre:a*a*b\nre:(|){30}x\n", line, reason));
    EXPECT_FALSE(slow.MatchesLine(std::string(3000, 'a')));
    EXPECT_FALSE(slow.MatchesLine(std::string(3000, 'y')));
    EXPECT_TRUE(slow.MatchesLine(std::string(3000, 'a') + "b"));
    // A start that may match nothing would run on from every place of a line and use up the
    // search before it came to the match: it is looked past, and the same lines match.
    NgFilter leading;
    ASSERT_TRUE(leading.Parse("re:\\S*死ね\nre:[^。]+業者\n", line, reason));
    std::string japanese;
    for (int i = 0; i < 300; ++i) japanese += "あ";
    EXPECT_TRUE(leading.MatchesLine(japanese + " 死ね"));
    EXPECT_TRUE(leading.MatchesLine(japanese + "。い業者"));
    EXPECT_FALSE(leading.MatchesLine("。業者"));
    std::mt19937 random(11);
    for (const char* pattern : {"\\s*\\S*x", "a+b", "(ab)?c", "[xy]{0,3}z", "a*?b$", ".*x$",
                                "\\d+\\b", "a|b*c", "[]a]*b", "(?:a)*b", "[^]*a", "x{0}y"}) {
        NgFilter one;
        ASSERT_TRUE(one.Parse(std::string("re:") + pattern + "\n", line, reason)) << pattern;
        const std::regex written(pattern, std::regex::ECMAScript);
        for (int i = 0; i < 200; ++i) {
            std::string t(random() % 10, ' ');
            for (char& c : t) c = "abxyz1 c"[random() % 8];
            EXPECT_EQ(one.MatchesLine(t), std::regex_search(t, written)) << pattern << " " << t;
        }
    }
}

// Words are all looked for in one pass: found wherever one of them stands, also where a longer
// one almost fits around it ("abcd" failing at "abce" still holds "bc"), and names only in names.
TEST(ModernNg, ManyWordsAtOnce) {
    std::mt19937 random(7);
    const auto text = [&](std::size_t most) {
        std::string t(random() % (most + 1), 'a');
        for (char& c : t) c = static_cast<char>('a' + random() % 3);
        return t;
    };
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> words, names;
        std::string rules = "word:abcd\nword:bc\n";
        for (int i = 0; i < 30; ++i) {
            std::string word = text(4) + "aab";
            std::rotate(word.begin(), word.begin() + random() % word.size(), word.end());
            (i % 3 == 0 ? names : words).push_back(word);
            rules += (i % 3 == 0 ? "name:" : "word:") + word + "\n";
        }
        words.insert(words.end(), {"abcd", "bc"});
        NgFilter filter;
        std::size_t line;
        std::string reason;
        ASSERT_TRUE(filter.Parse(rules, line, reason)) << reason;
        for (int i = 0; i < 300; ++i) {
            const std::string t = text(24);
            const auto holds = [&](const std::vector<std::string>& list) {
                return std::any_of(list.begin(), list.end(), [&](const std::string& w) {
                    return t.find(w) != std::string::npos;
                });
            };
            EXPECT_EQ(filter.MatchesLine(t), holds(words)) << rules << t;
            PostHeader header;
            header.parts.push_back({HeaderPartKind::Name, t});
            EXPECT_EQ(filter.MatchesHeader(header), holds(words) || holds(names)) << rules << t;
        }
    }
    // IDs in any order.
    NgFilter ids;
    std::size_t line;
    std::string reason;
    ASSERT_TRUE(ids.Parse("id:c\nid:ID:a\nid:b\n", line, reason));
    PostHeader header;
    for (const char* id : {"a", "b", "c"}) {
        header.idKey = id;
        EXPECT_TRUE(ids.MatchesHeader(header)) << id;
    }
    header.idKey = "d";
    EXPECT_FALSE(ids.MatchesHeader(header));
}

TEST(ModernNg, FilteredPostsLeaveNoText) {
    const std::string thread =
        "1 名前：名無し 投稿日：2024/09/10(火) 07:00:00.00 ID:Good0001\n本題\n"
        "2 名前：名無し 投稿日：2024/09/10(火) 07:01:00.00 ID:Troll001\n荒らしの書き込み\n>>1\n"
        "3 名前：名無し 投稿日：2024/09/10(火) 07:02:00.00 ID:Good0001\n>>2 反応する人\n"
        "4 名前：名無し 投稿日：2024/09/10(火) 07:03:00.00 ID:Troll001\n>>1 spam\n"
        "5 名前：名無し 投稿日：2024/09/10(火) 07:04:00.00 ID:Good0002\n>>3 >>4 まとめ\n"
        "6 名前：名無し 投稿日：2024/09/10(火) 07:05:00.00 ID:Good0003\n先回り >>8\n"
        "7 名前：名無し 投稿日：2024/09/10(火) 07:06:00.00 ID:Good0005\n普通の話\n"
        "8 名前：名無し 投稿日：2024/09/10(火) 07:07:00.00 ID:Troll001\n後から荒らす\n"
        "9 名前：名無し 投稿日：2024/09/10(火) 07:08:00.00 ID:Good0005\nまた普通\n"
        "10 名前：名無し 投稿日：2024/09/10(火) 07:09:00.00 ID:Good0004\n>>7-9 範囲で返す\n";
    auto ng = std::make_shared<NgFilter>();
    std::size_t line;
    std::string reason;
    ASSERT_TRUE(ng->Parse("id:Troll001\n", line, reason));
    const Page hidden = ConvertModern("t.txt", thread, "", ng);
    for (const char* gone : {"荒らし", "Troll001", "spam", "id=\"2\"", "id=\"4\"", "href=\"#2\"",
                             "href=\"#4\"", "(1/3)", "後から荒らす", "href=\"#8\""}) {
        EXPECT_EQ(hidden.body.find(gone), std::string::npos) << gone;
    }
    // The posts left keep their links, previews and counts among themselves.
    for (const char* kept :
         {"&gt;&gt;2 反応する人", "ID:Good0001</span><span class=\"count\"> (2/2)",
          "&gt;&gt;3</a><span class=\"pv\" id=\"v"}) {
        EXPECT_NE(hidden.body.find(kept), std::string::npos) << kept;
    }
    auto chained = std::make_shared<NgFilter>(*ng);
    chained->mode = NgMode::Mark;
    chained->chain = true;
    const Page marked = ConvertModern("t.txt", thread, "", chained);
    // A reply to a later filtered post, and a range around one, are replies to it.
    for (const char* n : {"2", "3", "4", "5", "6", "8", "10"}) {
        EXPECT_NE(
            marked.body.find("<article class=\"post filtered\" id=\"" + std::string(n) +
                             "\" aria-label=\"" + n + "\"><div class=\"ph\"><span class=\"num\">" +
                             n + "</span><span class=\"note\">NG</span></div></article>"),
            std::string::npos)
            << n;
    }
    for (const char* gone :
         {"反応する人", "先回り", "範囲で返す", "Good0001</span><span class=\"count\">"}) {
        EXPECT_EQ(marked.body.find(gone), std::string::npos) << gone;
    }
    EXPECT_NE(marked.body.find("ID:Good0005</span><span class=\"count\"> (2/2)"),
              std::string::npos);
    // A word across the pieces a line of megabytes is read in.
    auto words = std::make_shared<NgFilter>();
    ASSERT_TRUE(words->Parse("word:spamword\n", line, reason));
    const std::string longLine =
        std::string((4 << 20) - 4, 'x') + "spamword" + std::string(1 << 20, 'y');
    const Page piecewise =
        ConvertModern("t.txt",
                      "1 名前：名無し 投稿日：2024/09/10(火) 07:00:00.00 ID:Good0001\n本題\n"
                      "2 名前：名無し 投稿日：2024/09/10(火) 07:01:00.00 ID:Good0002\n" +
                          longLine + "\n",
                      "", words);
    EXPECT_EQ(piecewise.body.find("spamword"), std::string::npos);
    EXPECT_EQ(piecewise.body.find("id=\"2\""), std::string::npos);
    // A post a pattern could not be searched through is kept, and counted to be told.
    auto slow = std::make_shared<NgFilter>();
    ASSERT_TRUE(slow->Parse("re:w\\S*x\n", line, reason));
    const Page undecided =
        ConvertModern("t.txt",
                      "1 名前：名無し 投稿日：2024/09/10(火) 07:00:00.00 ID:Good0001\nwx\n"
                      "2 名前：名無し 投稿日：2024/09/10(火) 07:01:00.00 ID:Good0002\n" +
                          std::string(3000, 'w') + " yx\n",
                      "", slow);
    EXPECT_EQ(undecided.result.ngUndecided, 1u);
    EXPECT_EQ(undecided.body.find("id=\"1\""), std::string::npos);
    // A thread its troll started: the title goes with the first post, and the file's name
    // stands instead, in a .dat and a text copy alike.
    const std::string dat =
        "荒らし<>sage<>2024/09/10(火) 07:00:00.00 ID:Troll001<>一番の本文<>荒らしの題\n"
        "名無し<>sage<>2024/09/10(火) 07:01:00.00 ID:Good0001<>普通<>\n";
    const std::string text =
        "荒らしの題\n1 名前：荒らし 投稿日：2024/09/10(火) 07:00:00.00 ID:Troll001\n一番の本文\n"
        "2 名前：名無し 投稿日：2024/09/10(火) 07:01:00.00 ID:Good0001\n普通\n";
    for (const Page& page :
         {ConvertModern("t.dat", dat, "", ng), ConvertModern("t.txt", text, "", ng)}) {
        EXPECT_EQ((page.head + page.body).find("荒らしの題"), std::string::npos);
        EXPECT_NE(page.head.find("<title>t</title>"), std::string::npos);
    }
}

TEST(ModernPage, Utf8Checks) {
    EXPECT_TRUE(LooksLikeUtf8("a\xE3\x81\x82", true));
    EXPECT_FALSE(LooksLikeUtf8("abc", true));                    // nothing outside ASCII
    EXPECT_FALSE(LooksLikeUtf8("\x82\xa0", true));               // Shift-JIS あ
    EXPECT_TRUE(LooksLikeUtf8("a\xE3\x81\x82\xE3\x81", false));  // cut at the end of a piece
    EXPECT_FALSE(LooksLikeUtf8("a\xE3\x81\x82\xE3\x81", true));
    EXPECT_EQ(Utf8CharLength("\xED\xA0\x80"), 0u);  // a surrogate
    EXPECT_EQ(Utf8CharLength("\xC0\xAF"), 0u);      // overlong
    EXPECT_EQ(Utf8CharLength("\xF0\x9F\x98\x80"), 4u);
}

}  // namespace
}  // namespace horofu
