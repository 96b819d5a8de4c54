// UTF-8 checks and repair: a run of ASCII is taken eight bytes at a time.
#include "runtime/Utf8.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace horofu {
namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The number of leading ASCII bytes.
std::size_t AsciiRun(const char* p, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if ((word & 0x8080808080808080ull) != 0) break;
    }
    while (i < size && static_cast<unsigned char>(p[i]) < 0x80) ++i;
    return i;
}

}  // namespace

std::size_t Utf8CharLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    if (b0 < 0x80) return 1;
    std::size_t need;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        if (b0 == 0xE0) low = 0xA0;   // no overlong forms
        if (b0 == 0xED) high = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < need) return 0;
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b1 < low || b1 > high) return 0;
    for (std::size_t i = 2; i < need; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(bytes[i]))) return 0;
    }
    return need;
}

bool IsCutCharacter(std::string_view bytes) {
    if (bytes.empty() || bytes.size() >= 4) return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const std::size_t need = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : 2;
    if (b0 < 0xC2 || b0 > 0xF4 || bytes.size() >= need) return false;
    // Pad with the smallest continuation bytes that keep the second byte's range.
    char padded[4];
    std::memcpy(padded, bytes.data(), bytes.size());
    for (std::size_t i = bytes.size(); i < need; ++i) padded[i] = '\x80';
    if (bytes.size() == 1) {
        if (b0 == 0xE0) padded[1] = '\xA0';
        if (b0 == 0xF0) padded[1] = '\x90';
    }
    return Utf8CharLength(std::string_view(padded, need)) == need;
}

bool LooksLikeUtf8(std::string_view bytes, bool complete) {
    bool wide = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        i += AsciiRun(bytes.data() + i, bytes.size() - i);
        if (i == bytes.size()) break;
        const std::size_t n = Utf8CharLength(bytes.substr(i));
        if (n == 0) return !complete && IsCutCharacter(bytes.substr(i));
        wide = true;
        i += n;
    }
    return wide;
}

void Utf8Decoder::Decode(std::string_view bytes, bool last, std::string& out) {
    // A character cut by the end of the last piece: finished with the first bytes of this one.
    while (!pending_.empty() && !bytes.empty()) {
        pending_ += bytes.front();
        bytes.remove_prefix(1);
        if (Utf8CharLength(pending_) == pending_.size()) {
            out += pending_;
            pending_.clear();
        } else if (!IsCutCharacter(pending_)) {
            // Not a character after all: its first byte is undecodable, the rest starts afresh.
            std::string rest = pending_.substr(1);
            pending_.clear();
            out.append(kReplacementCharacter);
            ++undecodable_;
            Decode(rest, false, out);
        }
    }
    if (!pending_.empty() && last) {
        std::string rest = std::move(pending_);
        pending_.clear();
        out.append(kReplacementCharacter);
        ++undecodable_;
        Decode(std::string_view(rest).substr(1), true, out);
    }
    out.reserve(out.size() + bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t ascii = AsciiRun(bytes.data() + i, bytes.size() - i);
        out.append(bytes.data() + i, ascii);
        i += ascii;
        if (i == bytes.size()) break;
        // Three-byte characters (most of Japanese) outside the ranges needing a closer look.
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && i + 2 < bytes.size() &&
            IsContinuation(static_cast<unsigned char>(bytes[i + 1])) &&
            IsContinuation(static_cast<unsigned char>(bytes[i + 2]))) {
            out.append(bytes.data() + i, 3);
            i += 3;
            continue;
        }
        const std::string_view rest = bytes.substr(i);
        const std::size_t n = Utf8CharLength(rest);
        if (n > 0) {
            out.append(rest.data(), n);
            i += n;
        } else if (!last && IsCutCharacter(rest)) {
            pending_.assign(rest);
            return;
        } else {
            out.append(kReplacementCharacter);
            ++undecodable_;
            ++i;
        }
    }
}

}  // namespace horofu
