// Classifies a record and writes its line of the classic page.
#include "converter/classic/ClassicLine.h"

#include "runtime/ByteScan.h"
#include "runtime/ShiftJis.h"

namespace horofu {
namespace {

using Bytes = const unsigned char*;

// Whether the byte at is the second byte of a double-byte character: a byte that cannot lead
// is always followed by a character start, so this is whether the run of lead-range bytes
// right before it is odd. oddBefore tells that of the run that ends right before begin.
bool IsTrail(Bytes begin, Bytes at, bool oddBefore) {
    bool odd = false;
    while (at > begin && IsLeadByte(at[-1])) {
        --at;
        odd = !odd;
    }
    return at == begin ? odd != oddBefore : odd;
}

// 名前： (96 BC 91 4F 81 46). Its two upper-case bytes, O and F, are the trail bytes of the
// characters 91 4F and 81 46 wherever the whole mark stands (BC cannot lead), so they never
// fold: a plain byte match.
constexpr unsigned char kName[] = {0x96, 0xbc, 0x91, 0x4f, 0x81, 0x46};
// 投稿日 (93 8A 8D 65 93 FA). Its e also matches an E that is not a trail byte.
constexpr unsigned char kDate[] = {0x93, 0x8a, 0x8d, 0x65, 0x93, 0xfa};
// ：0 (81 46 30). Its F must be the trail byte of 81 46: after 88 81, say, it is a lone F.
constexpr unsigned char kColonZero[] = {0x81, 0x46, 0x30};

bool NameAt(Bytes p) {
    return p[2] == kName[2] && p[3] == kName[3] && p[4] == kName[4] && p[5] == kName[5];
}

bool DateAt(Bytes begin, Bytes p, bool oddBefore) {
    return p[2] == kDate[2] &&
           (p[3] == 0x65 || (p[3] == 0x45 && !IsTrail(begin, p + 3, oddBefore))) &&
           p[4] == kDate[4] && p[5] == kDate[5];
}

// The first start in [from, end - size) of a mark that begins with first, second and passes
// rest; end when there is none.
template <typename Rest>
Bytes FindMark(Bytes from, Bytes end, std::size_t size, unsigned char first, unsigned char second,
               Rest rest) {
    if (end - from < static_cast<std::ptrdiff_t>(size)) return end;
    const char* const last = reinterpret_cast<const char*>(end - size + 2);
    for (const char* p = reinterpret_cast<const char*>(from);; ++p) {
        p = FindPair(p, last, first, second);
        if (p == last) return end;
        if (rest(reinterpret_cast<Bytes>(p))) return reinterpret_cast<Bytes>(p);
    }
}

}  // namespace

void RecordMarks::Scan(std::string_view window, std::size_t fresh, uint64_t at) {
    const auto begin = reinterpret_cast<Bytes>(window.data());
    const Bytes end = begin + window.size();
    // A mark is new when it ends among the fresh bytes.
    auto from = [&](std::size_t size) { return begin + (fresh >= size ? fresh - size + 1 : 0); };
    if (name_ == kNoMark) {
        const Bytes p = FindMark(from(6), end, 6, kName[0], kName[1], NameAt);
        if (p != end) {
            name_ = at + static_cast<uint64_t>(p - begin);
            beforeName_ = p > begin ? p[-1] : 0;
        }
    }
    if (date_ == kNoMark) {
        const Bytes p = FindMark(from(6), end, 6, kDate[0], kDate[1],
                                 [&](Bytes q) { return DateAt(begin, q, oddRun_); });
        if (p != end) date_ = at + static_cast<uint64_t>(p - begin);
    }
    // Every "：0" from the record's second byte on: the last two are kept.
    Bytes p = from(3);
    if (at == 0 && p == begin && p != end) ++p;
    for (;;) {
        p = FindMark(p, end, 3, kColonZero[0], kColonZero[1], [&](Bytes q) {
            return q[2] == kColonZero[2] && IsTrail(begin, q + 1, oddRun_);
        });
        if (p == end) break;
        colonBefore_ = colon_;
        colon_ = at + static_cast<uint64_t>(p - begin);
        p += 3;
    }
    const std::size_t keep = Overlap(window.size());
    oddRun_ = IsTrail(begin, end - keep, oddRun_);
}

RecordKind RecordMarks::Resolve(uint64_t size) const {
    RecordKind kind;
    if (name_ == kNoMark) return kind;
    if (date_ != kNoMark) {
        // The first date label decides; the name must stand wholly before it.
        if (name_ + sizeof kName <= date_) {
            kind.placeholder = page::kLabelledDate;
            kind.dateAt = date_;
        }
    } else {
        // The last "：0" that does not end the record.
        const uint64_t colon = colon_ != kNoMark && colon_ + 4 <= size ? colon_ : colonBefore_;
        if (colon != kNoMark && name_ + sizeof kName <= colon) {
            kind.placeholder = page::kBareDate;
            kind.dateAt = colon;
        }
    }
    if (kind.IsHeader()) kind.nameAt = name_;
    return kind;
}

RecordKind ClassifyRecord(std::string_view record) {
    // Most records are body lines without "名前：": one scan tells.
    const auto begin = reinterpret_cast<Bytes>(record.data());
    const Bytes end = begin + record.size();
    const Bytes name = FindMark(begin, end, 6, kName[0], kName[1], NameAt);
    if (name == end) return {};
    RecordKind kind;
    const Bytes date = FindMark(begin, end, 6, kDate[0], kDate[1],
                                [&](Bytes q) { return DateAt(begin, q, false); });
    Bytes at = end;
    if (date != end) {
        // The first date label decides; the name must stand wholly before it.
        at = date;
        kind.placeholder = page::kLabelledDate;
    } else if (record.size() > sizeof kColonZero + 1) {
        // The last "：0" after the first byte that does not end the record.
        auto colonAt = [&](Bytes q) {
            return q[2] == kColonZero[2] && IsTrail(begin, q + 1, false);
        };
        for (Bytes q = begin + 1;; q += sizeof kColonZero) {
            q = FindMark(q, end - 1, sizeof kColonZero, kColonZero[0], kColonZero[1], colonAt);
            if (q == end - 1) break;
            at = q;
        }
        kind.placeholder = page::kBareDate;
    }
    if (at == end || name + sizeof kName > at) return {};
    kind.nameAt = static_cast<uint64_t>(name - begin);
    kind.dateAt = static_cast<uint64_t>(at - begin);
    return kind;
}

bool PutClassicLine(PageWriter& out, std::string_view record) {
    out.Put(page::kLineStart);
    const RecordKind kind = ClassifyRecord(record);
    if (kind.IsHeader()) {
        // P (the number and the blank after it) and R (the name) are the parts around "名前：".
        const std::string_view p = record.substr(0, kind.nameAt);
        const std::string_view r =
            record.substr(kind.nameAt + sizeof kName, kind.dateAt - kind.nameAt - sizeof kName);
        out.Put(page::kTermOpen);
        out.Put(page::kAnchorNameOpen);
        out.PutEscaped(!p.empty() && EndsInBlank(p.back()) ? p.substr(0, p.size() - 1) : p);
        out.Put(page::kAttributeClose);
        out.PutEscaped(p);
        out.Put(page::kAnchorClose);
        out.Put(page::kNameLabel);
        out.Put(page::kNameOpen);
        out.PutEscaped(r);
        out.Put(page::kNameClose);
        out.Put(std::string_view(kind.placeholder));
        out.Put(page::kTermClose);
    } else if (!record.empty()) {  // an empty line is a bare <br>
        out.Put(page::kDescriptionOpen);
        if (record.size() > 2 && record[0] == '>' && record[1] == '>') {
            std::string_view number = record.substr(2);
            if (EndsInBlank(number.back())) number.remove_suffix(1);
            out.Put(page::kAnchorHrefOpen);
            out.PutEscaped(number);
            out.Put(page::kAttributeClose);
            out.Put(page::kReplyText);
            out.PutEscaped(number);
            out.Put(page::kAnchorClose);
        } else {
            out.PutEscaped(record);
        }
        out.Put(page::kDescriptionClose);
    }
    out.PutLine(page::kBreak);
    return kind.IsHeader();
}

}  // namespace horofu
