// Text values, case folding, the two splits and the byte scans under them.
#include <gtest/gtest.h>

#include <string>

#include "runtime/ByteHash.h"
#include "runtime/ByteScan.h"
#include "runtime/Split.h"
#include "runtime/Text.h"

namespace horofu {
namespace {

TEST(Text, CutsStayInsideTheText) {
    const Text abc("abc");
    EXPECT_EQ(Right(abc, 5), abc);
    EXPECT_EQ(Right(abc, 0), Text());
    EXPECT_EQ(Left(abc, -1), Text());  // the one count the converter could get wrong
    EXPECT_EQ(Left(abc, 9), abc);
    EXPECT_EQ(Mid(abc, 2, 0), Text("bc"));
    EXPECT_EQ(Mid(abc, 4, 1), Text());
    EXPECT_EQ(Mid(abc, 2, 9), Text("bc"));
    EXPECT_EQ(Mid(abc, 0, 1), Text());
    EXPECT_EQ(Repeat(-1, abc), Text());
    EXPECT_EQ(Chr(0x1FF), Text("\xff"));
    // CompareText: 1, 2 (equal) or 3, in unsigned byte order and case-sensitive.
    EXPECT_EQ(CompareText(abc, Text("abc")), 2);
    EXPECT_EQ(CompareText(Text("ab"), Text("a")), 3);
    EXPECT_EQ(CompareText(Text("A"), Text("a")), 1);
    EXPECT_EQ(CompareText(Text("\x81"), Text("a")), 3);
}

// Texts with a digit right after a hex escape, which C++ would read as part of the escape.
const Text kColonZero = Text("\x81\x46") + Text("0");  // ：0
Text Sjis(const char* a, const char* b) {
    return Text(a) + Text(b);
}

TEST(Text, LowerCaseLeavesDoubleByteCharactersWhole) {
    EXPECT_EQ(LowerCase(Text("AbC.TXT")), Text("abc.txt"));
    // ’ is 81 66 and ： is 81 46: folding the trail byte F would turn one into the other.
    EXPECT_EQ(LowerCase(Sjis("\x81\x46", "A")), Sjis("\x81\x46", "a"));
    EXPECT_EQ(LowerCase(Text("\x83\x41\x83\x5a")), Text("\x83\x41\x83\x5a"));  // アセ
    // A half-width katakana byte (A0-DF) stands alone, so the letter after it folds.
    EXPECT_EQ(LowerCase(Sjis("\xb1", "B")), Sjis("\xb1", "b"));
}

TEST(Split, FirstSplitsAtTheFirstOccurrenceIgnoringCase) {
    ASSERT_EQ(SplitFirst(Text("abc"), Text("c")), 1);
    EXPECT_EQ(FirstLeft(), Text("ab"));
    EXPECT_EQ(FirstRight(), Text());
    ASSERT_EQ(SplitFirst(Text("sepA-sepB"), Text("SEP")), 1);
    EXPECT_EQ(FirstLeft(), Text());
    EXPECT_EQ(FirstRight(), Text("A-sepB"));
    // A failed split hides the parts of the earlier success.
    EXPECT_EQ(SplitFirst(Text("abc"), Text("abcd")), 0);
    EXPECT_EQ(FirstLeft(), Text());
    EXPECT_EQ(FirstRight(), Text());
}

TEST(Split, LastSkipsTheFinalPositionAndNeverSucceedsAtTheFirst) {
    EXPECT_EQ(SplitLast(Text("abc"), Text("c")), 0);
    EXPECT_EQ(SplitLast(kColonZero + Text("abc"), kColonZero), 0);
    ASSERT_EQ(SplitLast(Text("x") + kColonZero + Text("y") + kColonZero + Text("z"), kColonZero),
              1);
    EXPECT_EQ(LastLeft(), Text("x") + kColonZero + Text("y"));
    EXPECT_EQ(LastRight(), Text("z"));
    // The two states do not disturb each other.
    ASSERT_EQ(SplitFirst(Text("a-b"), Text("-")), 1);
    EXPECT_EQ(SplitLast(Text("nothing"), Text("-")), 0);
    EXPECT_EQ(LastLeft(), Text());
    EXPECT_EQ(FirstLeft(), Text("a"));
}

TEST(Split, SplittingAPartOfTheStateAgainKeepsItsBytes) {
    // The argument is the state's own left part: the result must not overwrite it mid-split.
    ASSERT_EQ(SplitFirst(Text("12 NAME:x DATE:y"), Text("DATE:")), 1);
    ASSERT_EQ(SplitFirst(FirstLeft(), Text("name:")), 1);
    EXPECT_EQ(FirstLeft(), Text("12 "));
    EXPECT_EQ(FirstRight(), Text("x "));
}

TEST(Split, MatchingFoldsOnlySingleByteLetters) {
    // ’0 (81 66 30) is no ：0 even though 66 is a lower-case f.
    EXPECT_EQ(SplitLast(Sjis("a\x81\x66", "0b"), kColonZero), 0);
    EXPECT_EQ(CountOccurrences(Sjis("\x81\x66", "0"), kColonZero), 0);
    // 投稿日 holds the byte 65 (e). A single-byte E folds to e and so completes the
    // mark, while the same byte as the trail of a double-byte character does not.
    const Text date("\x93\x8a\x8d\x65\x93\xfa");
    EXPECT_EQ(CountOccurrences(Sjis("\x88\x93\x8a\x8d", "E\x93\xfa"), date), 1);
    EXPECT_EQ(CountOccurrences(Sjis("\x93\x8a\x8d", "E\x93\xfa"), date), 0);
    // ：0 holds F as a trail byte. After 88 81 (one character) the same bytes 81 46 30 are
    // not ：0 but a lone F, which folds to f.
    EXPECT_EQ(CountOccurrences(Sjis("\x88\x81", "F0"), kColonZero), 0);
    EXPECT_EQ(SplitLast(Sjis("a\x88\x81", "F0b"), kColonZero), 0);
    EXPECT_EQ(SplitLast(Sjis("a\x88\x81\x81", "F0b"), kColonZero), 1);
}

TEST(Split, CountOccurrencesCountsOverlaps) {
    EXPECT_EQ(CountOccurrences(Text("aaa"), Text("aa")), 2);
    EXPECT_EQ(CountOccurrences(Text("HTM;txt"), Text("TXT")), 1);
    EXPECT_EQ(CountOccurrences(Text("a"), Text("ab")), 0);
}

// The vector scans against a byte-by-byte search, for every length around the 16-byte blocks
// and every position of the byte or pair sought.
TEST(ByteScan, FindsWhatAPlainLoopFinds) {
    const ByteSet set{'\0', '\n', ',', '"'};
    for (std::size_t size = 0; size <= 40; ++size) {
        for (std::size_t at = 0; at <= size; ++at) {
            std::string bytes(size, '\x81');
            if (at < size) bytes[at] = ',';
            if (at + 1 < size) bytes[at + 1] = '\x46';
            const char* begin = bytes.data();
            const char* end = begin + size;
            for (std::size_t from = 0; from <= size; ++from) {
                const char* plain = begin + from;
                while (plain < end && !set.Has(static_cast<unsigned char>(*plain))) ++plain;
                EXPECT_EQ(FindFirstOf(begin + from, end, set), plain) << size << " " << at;

                const char* pair = begin + from;
                while (end - pair >= 2 && !(pair[0] == ',' && pair[1] == '\x46')) ++pair;
                if (end - pair < 2) pair = end;
                EXPECT_EQ(FindPair(begin + from, end, ',', 0x46), pair) << size << " " << at;
            }
        }
    }
}

// The hash of a thread read twice must not depend on how the reads cut it (a pipe gives odd
// pieces, a file whole blocks), and must tell a single byte changed anywhere.
TEST(ByteHash, SameHoweverCutAndChangedByAnyByte) {
    std::string bytes(45, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 37 + 1);
    ByteHash whole;
    whole.Add(bytes);
    for (std::size_t a = 0; a <= bytes.size(); ++a) {
        for (std::size_t b = a; b <= bytes.size(); ++b) {
            ByteHash cut;
            cut.Add(std::string_view(bytes).substr(0, a));
            cut.Add(std::string_view(bytes).substr(a, b - a));
            cut.Add(std::string_view(bytes).substr(b));
            EXPECT_EQ(cut.Value(), whole.Value()) << a << " " << b;
        }
        if (a == bytes.size()) break;
        std::string changed = bytes;
        changed[a] ^= 0x40;
        ByteHash other;
        other.Add(changed);
        EXPECT_NE(other.Value(), whole.Value()) << a;
    }
}

}  // namespace
}  // namespace horofu
