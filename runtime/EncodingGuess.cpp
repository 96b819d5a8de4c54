// Weighing a thread's bytes against the encodings it may be in.
#include "runtime/EncodingGuess.h"

#include "runtime/Cp932Table.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

bool IsEuc(unsigned char b) {
    return b >= 0xA1 && b <= 0xFE;
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
            i += n;
        } else if (!complete && bytes.size() - i < 4) {
            break;  // perhaps a character cut by the end of the sample
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
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
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
        ++i;  // half-width katakana count for neither: any byte A1-DF is one
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
        if (ok) {
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
    if (utf8.bad * 20 <= utf8.wide + utf8.bad) return Encoding::Utf8;
    const EncodingEvidence sjis = Cp932Evidence(start, complete);
    const EncodingEvidence euc = EucJpEvidence(start, complete);
    const auto weight = [](const EncodingEvidence& e) {
        return static_cast<long long>(e.wide) - 4 * static_cast<long long>(e.bad);
    };
    return weight(euc) > weight(sjis) ? Encoding::EucJp : Encoding::ShiftJis;
}

}  // namespace horofu
