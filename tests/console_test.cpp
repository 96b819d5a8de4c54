// The console: layout of printed bytes, the scroll rule, and what the window shows.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "console/Console.h"
#include "tests/FakeConsoleSurface.h"

namespace horofu {
namespace {

using testing::CanvasSurface;

constexpr int32_t kCell = 8;
constexpr int32_t kLine = 16;

// prefix, the number n and CR LF: a record as the echo prints it.
std::string Numbered(const char* prefix, int n) {
    std::string record(prefix);  // appended, as GCC 12 misreads "literal" + string
    record += std::to_string(n);
    record += "\r\n";
    return record;
}

class ConsoleTest : public ::testing::Test {
  protected:
    // A window 80 cells wide and 10 lines high.
    ConsoleTest() : window(80 * kCell, 10 * kLine, kCell, kLine, false) {
        console.SetMetrics({kCell, kLine});
        console.AttachWindow(&window);
    }

    std::string LineText(int32_t i) {
        const ConsoleLine& line = console.Buffer().Line(i);
        return std::string(line.text.data(), line.Length());
    }
    int32_t CursorLine() { return console.Buffer().cursorLine; }
    int32_t CursorColumn() { return console.Buffer().cursorColumn; }
    void Resize(int32_t lines, int32_t extra = 0) {
        window.Resize(80 * kCell, lines * kLine + extra);
    }
    // What the window shows at the top left of cell (column, row): the bytes of the character
    // covering it, or "" for the background.
    std::string Shown(int32_t column, int32_t row) {
        const uint32_t code = window.At(column * kCell, row * kLine).code;
        if (code == 0) return "";
        const uint32_t bytes = code - 1;  // one byte, or a lead byte and the one after it
        std::string out(1, static_cast<char>(bytes & 0xFF));
        if (bytes > 0xFF) out.insert(out.begin(), static_cast<char>(bytes >> 8));
        return out;
    }

    Console console;
    CanvasSurface window;
};

TEST_F(ConsoleTest, TabsAndLineEnds) {
    console.Print(Text("a\tb"));
    EXPECT_EQ(LineText(0), "a       b");
    EXPECT_EQ(CursorColumn(), 9);
    console.Print(Text("\tc"));  // column 9 to the stop at 16
    EXPECT_EQ(LineText(0), "a       b       c");
    console.Print(
        Text("\r\n"
             "12345678\t|\r\n"));  // a TAB on a stop moves a full 8
    EXPECT_EQ(LineText(1), "12345678        |");
    EXPECT_EQ(CursorLine(), 2);
    EXPECT_EQ(CursorColumn(), 0);

    // CR at the end of one print and LF at the start of the next are plain bytes, as are a
    // lone CR or LF; LF CR is no line end either. The text ends at its first zero byte.
    console.Print(Text("x\r"));
    console.Print(Text("\ny\n\rz\0w", 7));
    EXPECT_EQ(LineText(2), "x\r\ny\n\rz");
    EXPECT_EQ(CursorColumn(), 7);

    // A line keeps at most 254 bytes; a TAB that crosses column 254 fills up to it.
    console.Print(Text("\r\n" + std::string(300, 'x')));
    EXPECT_EQ(LineText(3), std::string(254, 'x'));
    console.Print(Text("\r\n" + std::string(250, 'y') + "\tz\tw"));
    EXPECT_EQ(LineText(4), std::string(250, 'y') + "    ");
    EXPECT_EQ(console.Buffer().Line(4).text[254], '\0');
}

TEST_F(ConsoleTest, CursorLineNeverPasses100) {
    Resize(300);  // taller than the buffer
    for (int i = 0; i < 150; ++i) console.Print(Text(Numbered("line ", i)));
    EXPECT_EQ(CursorLine(), 100);
    EXPECT_EQ(LineText(0), "line 50");
    EXPECT_EQ(LineText(99), "line 149");
    EXPECT_EQ(LineText(100), "");

    // One print with more line ends than lines left.
    std::string many;
    for (int i = 0; i < 120; ++i) many += Numbered("r", i);
    console.Print(Text(many + "last"));
    EXPECT_EQ(CursorLine(), 100);
    EXPECT_EQ(LineText(100), "last");
    EXPECT_EQ(LineText(99), "r119");
    EXPECT_EQ(LineText(0), "r20");
    EXPECT_EQ(Shown(0, 100), "l");
    EXPECT_EQ(Shown(0, 101), "");  // rows past line 100 are never drawn
}

TEST_F(ConsoleTest, EachCellKeepsItsColours) {
    ConsoleBuffer& buffer = console.Buffer();
    const ConsoleColor red = ConsoleRgb(255, 0, 0), blue = ConsoleRgb(0, 0, 255);
    console.Print(Text("a"));
    buffer.printForeground = red;
    buffer.printBackground = blue;
    console.Print(Text("b\t"));
    // A double-byte character whose two bytes came in different colours takes the first's.
    console.Print(Text("\x82"));
    buffer.printForeground = blue;
    console.Print(
        Text("\xa0"
             "c"));  // あ
    const ConsoleLine& line = buffer.Line(0);
    EXPECT_EQ(line.foreground[0], ConsoleRgb(255, 255, 255));
    EXPECT_EQ(line.foreground[1], red);
    EXPECT_EQ(line.background[7], blue);  // the spaces of a TAB are coloured too
    EXPECT_EQ(line.foreground[8], red);
    EXPECT_EQ(line.foreground[9], blue);
    EXPECT_EQ(line.foreground[11], 0u);  // beyond the text: as created

    // Drawn in the colours stored: b, あ and c.
    EXPECT_EQ(window.At(kCell, 0).bg, blue);
    EXPECT_EQ(window.At(9 * kCell, 0).fg, red);
    EXPECT_EQ(window.At(10 * kCell, 0).fg, blue);
}

TEST_F(ConsoleTest, DoubleByteCharacterIsOneGlyphAtItsFirstColumn) {
    console.Print(Text("1 \x96\xbc\x91\x4f\x81\x46") + Text("a\x82"));  // 1 名前：a, a lone lead
    const std::vector<std::string> cells = {"1",        " ",        "\x96\xbc", "\x96\xbc",
                                            "\x91\x4f", "\x91\x4f", "\x81\x46", "\x81\x46",
                                            "a",        "\x82"};
    for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(Shown(i, 0), cells[i]) << "cell " << i;
    EXPECT_EQ(window.At(3 * kCell, 0).dx, kCell);  // one glyph over both cells
    // A lead byte before a byte that cannot follow one still goes out with it, as one.
    console.Print(Text("\r\n\x82\r!"));
    EXPECT_EQ(Shown(0, 1), "\x82\r");
    EXPECT_EQ(Shown(2, 1), "!");
}

TEST_F(ConsoleTest, ScrollRedrawsEveryVisibleLine) {
    Resize(3, 2);  // rows 0 to 2 wholly, row 3 in part
    console.Print(Text("a long record\r\nr1\r\n"));
    EXPECT_EQ(CursorLine(), 2);  // line 2 still fits: (2 + 1) * 16 <= 50
    console.Print(Text("r2\r\n"));
    EXPECT_EQ(CursorLine(), 2);
    EXPECT_EQ(LineText(0), "r1");
    EXPECT_EQ(LineText(2), "");
    // Every row shows its new line, and nothing is left of the longer one before.
    EXPECT_EQ(Shown(1, 0), "1");
    EXPECT_EQ(Shown(2, 0), "");
    EXPECT_EQ(Shown(1, 1), "2");

    // A window made lower: the next paint drops top lines until the cursor line is the
    // lowest wholly visible one. Higher again: the dropped lines do not come back.
    Resize(2);
    console.Paint(window);
    EXPECT_EQ(CursorLine(), 1);
    EXPECT_EQ(Shown(1, 0), "2");
    Resize(10);
    console.Paint(window);
    EXPECT_EQ(LineText(0), "r2");
}

TEST_F(ConsoleTest, WindowLowerThanOneLineDropsEveryRecord) {
    for (const int32_t height : {0, 10}) {
        window.Resize(80 * kCell, height);
        console.Print(Text("record\r\n"));
        EXPECT_EQ(CursorLine(), 0);
        EXPECT_EQ(LineText(0), "");
    }
    EXPECT_EQ(Shown(0, 0), "");
    // A record without its line end stays on line 0 until the next one comes.
    console.Print(Text("partial"));
    EXPECT_EQ(LineText(0), "partial");
}

TEST_F(ConsoleTest, NothingHappensWithoutAWindow) {
    console.AttachWindow(nullptr);
    console.Print(Text("lost\r\n"));
    EXPECT_EQ(LineText(0), "");
    EXPECT_EQ(CursorLine(), 0);
}

// Prints and resizes the same way on a window that scrolls its pixels and draws runs, and on
// one that redraws everything one character at a time: the pictures must be the same after
// every step.
TEST(ConsoleScrolling, MovingPixelsGivesTheSamePicture) {
    const std::vector<std::string> pieces = {
        "12 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1",  // 名前：名無しさん
        ">>3",
        "\t\x8a\xbf\x8e\x9a",
        "plain ascii text",
        "\r\n",
        "\r\n",
        "\r\n",
        "\x82",
        "\xa0",
        std::string(40, 'w'),
        ""};
    // Lone CRs and LFs are wider than their cells (see CanvasSurface): rarer, as no row that
    // holds one can move.
    const std::vector<std::string> strays = {"\r", "\n", "\x83\x41\r"};
    std::mt19937 random(12345);
    int32_t scrolls = 0;
    for (int round = 0; round < 40; ++round) {
        // Every fourth round a window that can be taller than the buffer's 101 lines.
        const bool tall = round % 4 == 3;
        const int32_t cell = tall ? 1 : 3, line = tall ? 2 : 4;
        const int32_t width = 30 * cell;
        const int32_t minHeight = tall ? 190 : 0, maxHeight = tall ? 240 : 60;
        Console literal, fast;
        const int32_t height = tall ? 230 : 7 * line + 2;
        CanvasSurface literalWindow(width, height, cell, line, false);
        CanvasSurface fastWindow(width, height, cell, line, true);
        for (Console* c : {&literal, &fast}) c->SetMetrics({cell, line});
        literal.AttachWindow(&literalWindow);
        fast.AttachWindow(&fastWindow);
        literal.Paint(literalWindow);  // the first paint, which every window gets
        fast.Paint(fastWindow);
        for (int step = 0; step < 300; ++step) {
            const auto pick = random() % 100;
            if (pick < 3) {
                // A new size; the window then paints, as it does after every size change.
                const auto size = minHeight + random() % (maxHeight - minHeight);
                literalWindow.Resize(width, static_cast<int32_t>(size));
                fastWindow.Resize(width, static_cast<int32_t>(size));
                literal.Paint(literalWindow);
                fast.Paint(fastWindow);
            } else if (pick < 5) {
                const ConsoleColor colour = ConsoleRgb(random() % 3, 0, random() % 2);
                literal.Buffer().printForeground = fast.Buffer().printForeground = colour;
            } else {
                fastWindow.refuseScroll = random() % 8 == 0;
                std::string text;
                for (auto n = random() % (tall ? 12 : 4); n > 0; --n)
                    text += random() % 40 == 0 ? strays[random() % strays.size()]
                                               : pieces[random() % pieces.size()];
                literal.Print(Text(text));
                fast.Print(Text(text));
            }
            ASSERT_EQ(literalWindow, fastWindow) << "round " << round << " step " << step;
        }
        scrolls += fastWindow.scrollsDone;
    }
    EXPECT_GT(scrolls, 500);
}

// The main thread prints while the window's thread paints: one redraw at a time.
TEST(ConsoleThreads, PrintAndPaintTakeTurns) {
    Console console;
    CanvasSurface window(80 * kCell, 5 * kLine, kCell, kLine, true);
    console.SetMetrics({kCell, kLine});
    console.AttachWindow(&window);
    std::thread painter([&] {
        for (int i = 0; i < 500; ++i) console.Paint(window);
    });
    for (int i = 0; i < 500; ++i) console.Print(Text(Numbered("record ", i)));
    painter.join();
    EXPECT_FALSE(window.overlapped);
    EXPECT_EQ(console.Buffer().cursorLine, 4);  // the lowest wholly visible line
}

}  // namespace
}  // namespace horofu
