// Weighing a thread's bytes against the encodings it may be in.
#include "runtime/EncodingGuess.h"

#include "runtime/Cp932Table.h"
#include "runtime/Jis0212Table.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

bool IsEuc(unsigned char b) {
    return b >= 0xA1 && b <= 0xFE;
}

// Whether an EUC-JP pair (both bytes A1-FE) is a character: its JIS row and cell, as the
// same character's Shift-JIS pair, in the table the decoder reads.
bool IsEucCharacter(unsigned char first, unsigned char second) {
    const unsigned row = first - 0xA0u, cell = second - 0xA0u;
    const unsigned lead = ((row + 1) >> 1) + (row <= 62 ? 0x80 : 0xC0);
    const unsigned trail = row & 1 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E;
    return Cp932Pair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)) != 0;
}

}  // namespace

EncodingEvidence Utf8Evidence(std::string_view bytes, bool complete) {
    EncodingEvidence e;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8CharLength(bytes.substr(i));
        if (n > 0) {
            ++e.wide;
            e.longer += n >= 3;
            i += n;
        } else if (bytes.size() - i < 4 && (!complete || IsCutCharacter(bytes.substr(i)))) {
            break;  // perhaps a character cut by the end of the sample or of the download
        } else {
            ++e.bad;
            ++i;
        }
    }
    return e;
}

EncodingEvidence Cp932Evidence(std::string_view bytes, bool complete) {
    EncodingEvidence e;
    std::size_t i = 0;
    std::size_t kana = 0;  // half-width katakana in a row so far
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0xA6 && b <= 0xDF) {
            // Katakana, not the punctuation before them (A1-A5, which EUC-JP's kana open).
            e.wide += ++kana % 2 == 1 && kana > 1;
            ++i;
            continue;
        }
        kana = 0;
        if (Cp932LeadRow(b) >= 0) {
            if (i + 1 == bytes.size()) {
                e.bad += complete;
                break;
            }
            if (Cp932Pair(b, static_cast<unsigned char>(bytes[i + 1])) != 0) {
                ++e.wide;
                i += 2;
                continue;
            }
            ++e.bad;
        } else if (Cp932Single(b) == 0) {
            ++e.bad;
        }
        ++i;
    }
    return e;
}

EncodingEvidence EucJpEvidence(std::string_view bytes, bool complete) {
    EncodingEvidence e;
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < bytes.size()) {
        const unsigned char b = at(i);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const std::size_t need = b == 0x8F ? 3 : (b == 0x8E || IsEuc(b)) ? 2 : 1;
        if (need > 1 && i + need > bytes.size()) {
            e.bad += complete;
            break;
        }
        bool ok = need > 1;
        if (b == 0x8E) ok = at(i + 1) >= 0xA1 && at(i + 1) <= 0xDF;
        for (std::size_t k = 1; ok && k < need; ++k) ok = b == 0x8E || IsEuc(at(i + k));
        if (ok && ((need == 2 && b != 0x8E && !IsEucCharacter(b, at(i + 1))) ||
                   (need == 3 && Jis0212Character(at(i + 1), at(i + 2)) == 0))) {
            ++e.bad;  // EUC bytes, but no character: broken, as the decoder shows them
            i += need;
        } else if (ok) {
            ++e.wide;
            i += need;
        } else {
            ++e.bad;
            ++i;
        }
    }
    return e;
}

Encoding GuessEncoding(std::string_view start, bool complete) {
    if (start.starts_with("\xEF\xBB\xBF")) return Encoding::Utf8;
    if (start.starts_with("\xFF\xFE")) return Encoding::Utf16Le;
    if (start.starts_with("\xFE\xFF")) return Encoding::Utf16Be;
    const EncodingEvidence utf8 = Utf8Evidence(start, complete);
    if (utf8.bad * 20 <= utf8.wide + utf8.bad || utf8.longer >= 2 * utf8.bad) {
        return Encoding::Utf8;
    }
    const EncodingEvidence sjis = Cp932Evidence(start, complete);
    const EncodingEvidence euc = EucJpEvidence(start, complete);
    const auto weight = [](const EncodingEvidence& e) {
        return static_cast<long long>(e.wide) - 4 * static_cast<long long>(e.bad);
    };
    return weight(euc) > weight(sjis) ? Encoding::EucJp : Encoding::ShiftJis;
}

}  // namespace horofu
