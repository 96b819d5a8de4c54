// Folding text for search through the generated tables.
#include "search/SearchFold.h"

#include <algorithm>

#include "search/FoldTable.h"

namespace horofu {

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t extra = 0;
        char32_t c = 0;
        if (b >= 0xC2 && b < 0xE0) {
            extra = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b < 0xF0) {
            extra = 2, c = b & 0x0F;
        } else if (b >= 0xF0 && b < 0xF5) {
            extra = 3, c = b & 0x07;
        }
        bool ok = extra > 0 && i + extra < s.size();
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        if (ok && ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) ||
                   (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))) {
            ok = false;
        }
        out.push_back(ok ? c : 0xFFFD);
        i += ok ? extra + 1 : 1;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

const FoldMapping* FindMapping(char32_t c) {
    const FoldMapping* end = kFoldMappings + kFoldMappingCount;
    const FoldMapping* m = std::lower_bound(
        kFoldMappings, end, c, [](const FoldMapping& a, char32_t b) { return a.from < b; });
    return m != end && m->from == c ? m : nullptr;
}

char32_t Composed(char32_t first, char32_t second) {
    const FoldPair* end = kFoldPairs + kFoldPairCount;
    const FoldPair* p =
        std::lower_bound(kFoldPairs, end, std::pair{first, second}, [](const FoldPair& a, auto b) {
            return a.first != b.first ? a.first < b.first : a.second < b.second;
        });
    return p != end && p->first == first && p->second == second ? p->composed : 0;
}

}  // namespace

FoldedLine FoldLine(std::u32string_view line) {
    FoldedLine out;
    out.text.reserve(line.size());
    out.from.reserve(line.size());
    out.to.reserve(line.size());
    for (uint32_t i = 0; i < line.size(); ++i) {
        const char32_t c = line[i];
        const FoldMapping* m = c < 0x41 ? nullptr : FindMapping(c);
        const char32_t* to = m != nullptr ? kFoldPool + m->at : &c;
        const uint32_t count = m != nullptr ? m->count : 1;
        for (uint32_t k = 0; k < count; ++k) {
            const char32_t composed = out.text.empty() ? 0 : Composed(out.text.back(), to[k]);
            if (composed != 0) {
                out.text.back() = composed;
                out.to.back() = i + 1;
            } else {
                out.text.push_back(to[k]);
                out.from.push_back(i);
                out.to.push_back(i + 1);
            }
        }
    }
    return out;
}

std::u32string FoldText(std::string_view utf8) {
    return FoldLine(DecodeUtf8(utf8)).text;
}

std::string FoldTableScript() {
    std::string out = "[";
    auto number = [&out](int64_t n) {
        out += std::to_string(n);
        out += ',';
    };
    for (std::size_t i = 0; i < kFoldMappingCount; ++i) {
        const FoldMapping& m = kFoldMappings[i];
        number(m.from);
        number(m.count);
        for (uint32_t k = 0; k < m.count; ++k) number(kFoldPool[m.at + k]);
    }
    number(-1);
    for (std::size_t i = 0; i < kFoldPairCount; ++i) {
        number(kFoldPairs[i].first);
        number(kFoldPairs[i].second);
        number(kFoldPairs[i].composed);
    }
    out.back() = ']';
    return out;
}

}  // namespace horofu
