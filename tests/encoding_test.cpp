// The core's decoders and the encoding found in a thread's bytes: every CP932 byte and pair,
// EUC-JP and UTF-16, pieces cut anywhere, and the weighing of evidence.
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "converter/modern/DatThread.h"
#include "runtime/EncodingGuess.h"
#include "runtime/EncodingNames.h"
#include "runtime/TextDecoder.h"

namespace horofu {
namespace {

std::string Decode(const std::string& encoding, std::string_view bytes, uint64_t* bad = nullptr) {
    std::unique_ptr<TextDecoder> decoder = OpenDecoder(encoding);
    std::string out;
    decoder->Decode(bytes, true, out);
    if (bad != nullptr) *bad = decoder->Undecodable();
    return out;
}

// FNV-1a, to hold the whole table's output as one number.
uint64_t Hash(std::string_view text, uint64_t h = 14695981039346656037ull) {
    for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

TEST(Cp932, EverySingleByteAndEveryPair) {
    // Single bytes: ASCII as itself, A1-DF half-width katakana, 80, A0 and FD-FF no
    // character; a lead byte alone at the end is none either.
    for (unsigned b = 0; b < 256; ++b) {
        uint64_t bad = 0;
        const std::string out = Decode("CP932", std::string(1, static_cast<char>(b)), &bad);
        if (b < 0x80) {
            EXPECT_EQ(out, std::string(1, static_cast<char>(b)));
        } else if (b >= 0xA1 && b <= 0xDF) {
            EXPECT_EQ(out.size(), 3u) << b;
            EXPECT_EQ(bad, 0u);
        } else {
            EXPECT_EQ(out, "\xEF\xBF\xBD") << b;
            EXPECT_EQ(bad, 1u) << b;
        }
    }
    EXPECT_EQ(Decode("CP932", "\xA1\xDF"), "\xEF\xBD\xA1\xEF\xBE\x9F");  // ｡ﾟ
    // Every pair: known characters, and a hash of all the rest against a change of table.
    std::string all;
    std::size_t characters = 0;
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            uint64_t bad = 0;
            const std::string out = Decode("Shift_JIS", std::string_view(pair, 2), &bad);
            characters += bad == 0 && (lead < 0xA0 || lead > 0xDF) && out.size() <= 3;
            all += out;
        }
    }
    EXPECT_EQ(characters, 9604u);
    EXPECT_EQ(Hash(all), 8587374013002642899u);
    EXPECT_EQ(Decode("sjis", "\x82\xa0\x8a\xbf\x81\x5f\x87\x40\xfa\x40\x81\x60\xf0\x40"),
              "あ漢＼①ⅰ～\xEE\x80\x80");
    // A bad pair loses its first byte only: the second starts afresh.
    uint64_t bad = 0;
    EXPECT_EQ(Decode("CP932", "\x82\x41\x82\xa0", &bad),
              "\xEF\xBF\xBD"
              "Aあ");
    EXPECT_EQ(bad, 1u);
}

TEST(Decoders, EucJpUtf16AndPiecesCutAnywhere) {
    // EUC-JP: あ 漢 ① (a vendor row) ｱ (after 8E), 丂 and ～ of JIS X 0212 (8F B0 A1, 8F A2
    // B7), and 8F A1 A1, which is none, as one U+FFFD.
    const std::string euc = "\xa4\xa2\xb4\xc1\xad\xa1\x8e\xb1\x8f\xb0\xa1\x8f\xa2\xb7\x8f\xa1\xa1x";
    uint64_t bad = 0;
    EXPECT_EQ(Decode("EUC-JP", euc, &bad), "あ漢①ｱ丂～\xEF\xBF\xBDx");
    EXPECT_EQ(bad, 1u);
    // UTF-16 either way round by its mark; a pair of surrogates is one character, a lone one
    // is U+FFFD.
    const std::string le("\xFF\xFE\x42\x30\x3D\xD8\x00\xDE\x00\xD8\x41\x00", 12);
    EXPECT_EQ(Decode("UTF-16", le, &bad),
              "\xEF\xBB\xBF"
              "あ😀\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(bad, 1u);
    const std::string be("\xFE\xFF\x30\x42\x00\x0A", 6);
    EXPECT_EQ(Decode("UTF-16LE", be),
              "\xEF\xBB\xBF"
              "あ\n");

    const struct {
        const char* encoding;
        std::string bytes;
    } cases[] = {{"CP932",
                  "\x82\xa0"
                  "a\x8a\xbf\x81\x5f\x82"},
                 {"EUC-JP", euc},
                 {"UTF-16", le + std::string("\x00", 1)},
                 {"UTF-8", "\xE3\x81\x82\xF0\x9F\x98\x80\xE3"}};
    for (const auto& c : cases) {
        uint64_t wholeBad = 0;
        const std::string whole = Decode(c.encoding, c.bytes, &wholeBad);
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            for (std::size_t cut2 = cut; cut2 <= c.bytes.size(); ++cut2) {
                std::unique_ptr<TextDecoder> decoder = OpenDecoder(c.encoding);
                std::string out;
                const std::string_view bytes = c.bytes;
                decoder->Decode(bytes.substr(0, cut), false, out);
                decoder->Decode(bytes.substr(cut, cut2 - cut), false, out);
                decoder->Decode(bytes.substr(cut2), true, out);
                EXPECT_EQ(out, whole) << c.encoding << " cut at " << cut << ", " << cut2;
                EXPECT_EQ(decoder->Undecodable(), wholeBad) << c.encoding;
            }
        }
    }
    EXPECT_EQ(OpenDecoder("NO-SUCH-CODE"), nullptr);
}

TEST(EncodingGuess, WeightOfEvidence) {
    // A Japanese sentence in each encoding, repeated as a thread repeats its words.
    std::string utf8, sjis, euc;
    for (int i = 0; i < 20; ++i) {
        utf8 += "1 名前：名無しさん 投稿日：2024/09/10 温泉に行きたい。\n";
        sjis +=
            "1 \x96\xbc\x91\x4f\x81\x46\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1 "
            "\x89\xb7\x90\xf2\x82\xc9\x8d\x73\x82\xab\x82\xbd\x82\xa2\x81\x42\n";
        euc +=
            "1 \xcc\xbe\xc1\xb0\xa1\xa7\xcc\xbe\xcc\xb5\xa4\xb7\xa4\xb5\xa4\xf3 "
            "\xb2\xb9\xc0\xf4\xa4\xcb\xb9\xd4\xa4\xad\xa4\xbf\xa4\xa4\xa1\xa3\xb1\n";
    }
    EXPECT_EQ(GuessEncoding(utf8, true), Encoding::Utf8);
    EXPECT_EQ(GuessEncoding(sjis, true), Encoding::ShiftJis);
    EXPECT_EQ(GuessEncoding(euc, true), Encoding::EucJp);
    EXPECT_EQ(GuessEncoding("plain ASCII", true), Encoding::Utf8);
    // A download cut inside a character, and a stray byte, leave UTF-8 UTF-8.
    EXPECT_EQ(GuessEncoding(utf8 + "\xE6\xB8", true), Encoding::Utf8);
    EXPECT_EQ(
        GuessEncoding(std::string("\x82") + utf8.substr(0, 200) + "\xFF" + utf8.substr(200), true),
        Encoding::Utf8);
    // The same in a mostly ASCII thread with a few Japanese characters: 日本 and a cut あ,
    // then 日本語 and a stray byte.
    const std::string ascii = "Anonymous<><>2024/01/01 10:00 ID:abc<> hello ";
    EXPECT_EQ(GuessEncoding(ascii + "\xE6\x97\xA5\xE6\x9C\xAC ok \xE3\x81", true), Encoding::Utf8);
    EXPECT_EQ(GuessEncoding(ascii + "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \x93 x<>t\n", true),
              Encoding::Utf8);
    // Half-width katakana in Shift-JIS stay Shift-JIS: beside kanji, alone (ｱﾘｶﾞﾄｳｺﾞｻﾞｲﾏｼﾀ
    // ﾜﾛﾀ, which EUC-JP reads as kanji but for its odd byte; ﾊﾟﾝﾂ ｳﾋｮｰ ｷﾀｰ, where ｮｰ AE B0 is
    // no EUC-JP character), and where they read as UTF-8 (ﾃｽﾄです C3 BD C4 82 C5 82 B7).
    EXPECT_EQ(GuessEncoding("\xb6\xc0\xb6\xc5 " + sjis, true), Encoding::ShiftJis);
    const std::string kana[] = {
        "\xb1\xd8\xb6\xde\xc4\xb3\xba\xde\xbb\xde\xb2\xcf\xbc\xc0 \xdc\xdb\xc0",
        "\xca\xdf\xdd\xc2 \xb3\xcb\xae\xb0 \xb7\xc0\xb0", "\xc3\xbd\xc4\x82\xc5\x82\xb7"};
    for (const std::string& k : kana) {
        EXPECT_EQ(GuessEncoding(ascii + k + " <>t\n" + ascii + k + k + "<>\n", true),
                  Encoding::ShiftJis)
            << k;
    }
    // EUC-JP of kanji alone (転載禁止 露天風呂), bytes half-width katakana too, stays EUC-JP.
    EXPECT_EQ(GuessEncoding("1<>Anonymous<><>2024/01/01 10:00<>\xc5\xbe\xba\xdc\xb6\xd8\xbb\xdf "
                            "\xcf\xaa\xc5\xb7\xc9\xf7\xcf\xa4<><>x\n",
                            true),
              Encoding::EucJp);
    EXPECT_EQ(GuessEncoding(std::string("\xFF\xFE\x31\x00", 4), true), Encoding::Utf16Le);
    EXPECT_EQ(GuessEncoding(std::string("\xFE\xFF\x00\x31", 4), true), Encoding::Utf16Be);
    // The names: one policy, whatever the spelling.
    EXPECT_EQ(EncodingFromName("windows-31j"), Encoding::ShiftJis);
    EXPECT_EQ(EncodingFromName("Shift_JIS"), Encoding::ShiftJis);
    EXPECT_EQ(EncodingFromName("eucjp"), Encoding::EucJp);
    EXPECT_EQ(EncodingFromName("ISO-8859-1"), Encoding::Other);
}

TEST(Locale, DatReadingIgnoresTheLocale) {
    // Under Latin-1, the C library takes the bytes of あ (E3 81 82) for letters.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "en_US.ISO-8859-1") == nullptr) {
        GTEST_SKIP() << "no en_US.ISO-8859-1 locale (localedef -i en_US -f ISO-8859-1)";
    }
    std::string text;
    AppendHtmlText("<あい> <BR> <Ab>x", text);
    DatPost post;
    ParseDatLine("a<><>2024/01/01<>b<>T.DAT", 1, DatForm::Standard, post);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(text, "<あい> \n x");
    EXPECT_EQ(EncodingFromName("sjis"), Encoding::ShiftJis);
}

}  // namespace
}  // namespace horofu
