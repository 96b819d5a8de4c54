// Decoding CP932, EUC-JP and UTF-16 with the core's own table.
#include "runtime/JapaneseDecoders.h"

#include <array>
#include <cstring>
#include <memory>

#include "runtime/Cp932Table.h"
#include "runtime/Jis0212Table.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

// CP932 as packed UTF-8: an entry holds a character's bytes in its low three bytes (memory
// order) and their count in the high one; 0 for no character. Built from the table once:
// every character of CP932 lies in the Basic Multilingual Plane.
struct PackedCp932 {
    std::array<uint32_t, 256> single{};
    std::array<int8_t, 256> rows{};  // Cp932LeadRow of each byte, looked up: a branch on the
                                     // byte's range mispredicts on Japanese text
    std::array<std::array<uint32_t, 256>, kCp932Leads> pairs{};

    static uint32_t Pack(uint16_t unit) {
        if (unit == 0) return 0;
        std::string utf8;
        AppendCodePoint(unit, utf8);
        uint32_t entry = 0;
        std::memcpy(&entry, utf8.data(), utf8.size());
        return entry | static_cast<uint32_t>(utf8.size()) << 24;
    }

    PackedCp932() {
        for (unsigned b = 0; b < 256; ++b) {
            single[b] = Pack(Cp932Single(static_cast<uint8_t>(b)));
            rows[b] = static_cast<int8_t>(Cp932LeadRow(static_cast<uint8_t>(b)));
        }
        for (int row = 0; row < kCp932Leads; ++row) {
            for (int t = 0; t < kCp932Trails; ++t) pairs[row][0x40 + t] = Pack(kCp932Pairs[row][t]);
        }
    }

    static const PackedCp932& Get() {
        static const auto* const packed = new PackedCp932();  // lives as long as the program
        return *packed;
    }
};

constexpr std::ptrdiff_t kBlock = 4096;  // input bytes decoded at a time

void PutReplacement(std::string& out, uint64_t& undecodable) {
    out.append(kReplacementCharacter);
    ++undecodable;
}

}  // namespace

void AppendCodePoint(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char* Cp932Decoder::PutReplacement(char* dst) {
    std::memcpy(dst, kReplacementCharacter, 3);
    ++undecodable_;
    return dst + 3;
}

void Cp932Decoder::Decode(std::string_view bytes, bool last, std::string& out) {
    const PackedCp932& table = PackedCp932::Get();
    // Decoded a block at a time into a buffer of its own, then appended: growing out to the
    // most the bytes could become would fill three times their size with zeros.
    out.reserve(out.size() + bytes.size() + bytes.size() / 2 + 16);
    char buffer[3 * kBlock + 16];
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    char* dst = buffer;
    if (pending_ >= 0 && p < end) {  // the lead byte the last piece ended with
        const uint32_t entry = table.pairs[Cp932LeadRow(static_cast<uint8_t>(pending_))][*p];
        dst = Put(entry, dst);
        if (entry != 0) ++p;
        pending_ = -1;
    }
    while (p < end) {
        // A block ends after at most kBlock bytes, or one more when a pair crosses it.
        const unsigned char* const blockEnd = end - p > kBlock ? p + kBlock : end;
        while (p < blockEnd) {
            const unsigned b = *p;
            if (b < 0x80) {
                // A run of ASCII (digits, marks, the blanks of ASCII art) eight at a time.
                *dst++ = static_cast<char>(b);
                ++p;
                while (blockEnd - p >= 8) {
                    uint64_t word;
                    std::memcpy(&word, p, 8);
                    if ((word & 0x8080808080808080ull) != 0) break;
                    std::memcpy(dst, &word, 8);
                    dst += 8;
                    p += 8;
                }
                continue;
            }
            const int row = table.rows[b];
            if (row < 0) {
                dst = Put(table.single[b], dst);
                ++p;
            } else if (p + 1 == end) {
                if (!last) {
                    pending_ = static_cast<int>(b);
                } else {
                    dst = Put(0, dst);
                }
                ++p;
            } else {
                const uint32_t entry = table.pairs[row][p[1]];
                dst = Put(entry, dst);
                p += entry != 0 ? 2 : 1;  // after a bad pair, its second byte starts afresh
            }
        }
        out.append(buffer, dst);
        dst = buffer;
    }
    if (last && pending_ >= 0) {
        dst = Put(0, dst);
        pending_ = -1;
    }
    out.append(buffer, dst);
}

void EucJpDecoder::Decode(std::string_view bytes, bool last, std::string& out) {
    std::string joined;
    bytes = JoinCut(bytes, joined);
    const PackedCp932& table = PackedCp932::Get();
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const auto isEuc = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = byte(i);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const std::size_t need = b == 0x8F ? 3 : (b == 0x8E || isEuc(b)) ? 2 : 1;
        if (need > 1 && i + need > bytes.size()) {
            // A character cut by the end of the piece: whole with the next one, if it may be.
            bool maybe = true;
            for (std::size_t k = i + 1; k < bytes.size(); ++k) maybe = maybe && isEuc(byte(k));
            if (maybe && !last) {
                cut_.assign(bytes.substr(i));
                return;
            }
        }
        uint32_t entry = 0;
        std::size_t used = 1;
        if (need == 2 && i + 1 < bytes.size() && b == 0x8E) {
            const unsigned char t = byte(i + 1);
            if (t >= 0xA1 && t <= 0xDF) entry = table.single[t];
            used = entry != 0 ? 2 : 1;
        } else if (need == 2 && i + 1 < bytes.size() && isEuc(byte(i + 1))) {
            // JIS row and cell, then the same character's Shift-JIS pair.
            const unsigned row = b - 0xA0, cell = byte(i + 1) - 0xA0u;
            const unsigned lead = ((row + 1) >> 1) + (row <= 62 ? 0x80 : 0xC0);
            const unsigned trail = row & 1 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E;
            const int leadRow = Cp932LeadRow(static_cast<uint8_t>(lead));
            if (leadRow >= 0) entry = table.pairs[leadRow][trail];
            used = 2;  // a pair of EUC bytes is one character, known or not
        } else if (need == 3 && i + 2 < bytes.size() && isEuc(byte(i + 1)) && isEuc(byte(i + 2))) {
            used = 3;  // JIS X 0212, known or not
            if (const uint16_t unit = Jis0212Character(byte(i + 1), byte(i + 2))) {
                AppendCodePoint(unit, out);
                i += used;
                continue;
            }
        }
        if (entry == 0) {
            PutReplacement(out, undecodable_);
        } else {
            out.append(reinterpret_cast<const char*>(&entry), entry >> 24);
        }
        i += used;
    }
}

void Utf16Decoder::Decode(std::string_view bytes, bool last, std::string& out) {
    std::string joined;
    bytes = JoinCut(bytes, joined);
    std::size_t i = 0;
    if (atStart_ && bytes.size() >= 2) {
        atStart_ = false;
        if (bytes.substr(0, 2) == "\xFE\xFF") bigEndian_ = true;
        if (bytes.substr(0, 2) == "\xFF\xFE") bigEndian_ = false;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const uint16_t unit =
            bigEndian_ ? static_cast<uint16_t>(b0 << 8 | b1) : static_cast<uint16_t>(b1 << 8 | b0);
        if (high_ != 0) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                AppendCodePoint(0x10000 + ((high_ - 0xD800u) << 10) + (unit - 0xDC00u), out);
                high_ = 0;
                continue;
            }
            high_ = 0;
            PutReplacement(out, undecodable_);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            high_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            PutReplacement(out, undecodable_);
        } else {
            AppendCodePoint(unit, out);
        }
    }
    if (i < bytes.size()) {
        if (!last) {
            cut_.assign(bytes.substr(i));
            return;
        }
        PutReplacement(out, undecodable_);
    }
    if (last && high_ != 0) {
        high_ = 0;
        PutReplacement(out, undecodable_);
    }
}

}  // namespace horofu
