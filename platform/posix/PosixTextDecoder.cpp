// Decoders for the modern page on POSIX systems, through iconv.
#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/TextDecoder.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

// One iconv conversion, closed with its owner.
class Conversion {
  public:
    Conversion(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Conversion() {
        if (cd_ != kNoConversion) ::iconv_close(cd_);
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    bool Usable() const { return cd_ != kNoConversion; }

    // Converts from the start of in, appending to out, until all of in is converted or iconv
    // stops at a byte it cannot take. Returns false with errno set in the second case; in then
    // starts at that byte.
    bool Convert(std::string_view& in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        bool ok = true;
        for (;;) {
            const std::size_t used = out.size();
            out.resize(used + srcLeft * 3 + 16);
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.resize(out.size() - dstLeft);
            if (r != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            ok = false;
            break;
        }
        in = std::string_view(src, srcLeft);
        return ok;
    }

    // Back to the initial shift state, for a stateful encoding.
    void Reset(std::string& out) {
        char buffer[32];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        ::iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, sizeof buffer - dstLeft);
    }

  private:
    iconv_t cd_;
};

class IconvDecoder final : public TextDecoder {
  public:
    explicit IconvDecoder(const std::string& encoding) : conversion_("UTF-8", encoding.c_str()) {}
    bool Usable() const { return conversion_.Usable(); }

    void Decode(std::string_view bytes, bool last, std::string& out) override {
        std::string joined;
        bytes = JoinCut(bytes, joined);
        while (!conversion_.Convert(bytes, out)) {
            if (errno == EINVAL && !last) {  // a character cut by the end of the piece
                cut_.assign(bytes);
                return;
            }
            // An invalid sequence (or a cut one at the very end): its first byte is lost.
            out.append(kReplacementCharacter);
            ++undecodable_;
            bytes.remove_prefix(1);
        }
        if (last) conversion_.Reset(out);
    }

  private:
    Conversion conversion_;
};

// Shift-JIS through a table of every character, filled by asking iconv once per character:
// Shift-JIS characters are one or two bytes, need no state and lie in the Basic Multilingual
// Plane (three UTF-8 bytes at most), and a table lookup is many times quicker than iconv's own
// loop over a long thread.
struct ShiftJisTable {
    // An entry holds a character's UTF-8 bytes in its low three bytes (in memory order) and
    // their count in the high one; 0 for no character.
    std::vector<uint32_t> entries = std::vector<uint32_t>(256, 0);  // single bytes, then rows
    std::array<uint32_t, 256> rows{};                               // per lead byte
    std::array<bool, 256> lead{};
    bool asciiSame = true;  // ASCII bytes decode to themselves

    // False for a character this table cannot hold.
    static bool Pack(const std::string& utf8, uint32_t& entry) {
        if (utf8.size() > 3) return false;
        entry = 0;
        std::memcpy(&entry, utf8.data(), utf8.size());
        entry |= static_cast<uint32_t>(utf8.size()) << 24;
        return true;
    }

    // False when iconv does not know the encoding, or it is not one the table can hold.
    bool Build(const std::string& encoding) {
        Conversion conversion("UTF-8", encoding.c_str());
        if (!conversion.Usable()) return false;
        std::string out;
        for (unsigned b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::string_view in(&byte, 1);
            out.clear();
            if (conversion.Convert(in, out)) {
                if (!Pack(out, entries[b])) return false;
            } else {
                lead[b] = errno == EINVAL;
                out.clear();
                conversion.Reset(out);
            }
            if (b < 0x80 && (lead[b] || out != std::string(1, byte))) asciiSame = false;
        }
        for (unsigned b = 0; b < 256; ++b) {
            if (!lead[b]) continue;
            rows[b] = static_cast<uint32_t>(entries.size());
            entries.resize(entries.size() + 256, 0);
            for (unsigned t = 0; t < 256; ++t) {
                const char pair[2] = {static_cast<char>(b), static_cast<char>(t)};
                std::string_view in(pair, 2);
                out.clear();
                if (conversion.Convert(in, out)) {
                    if (!Pack(out, entries[rows[b] + t])) return false;
                } else {
                    out.clear();
                    conversion.Reset(out);
                }
            }
        }
        return true;
    }

    // The table for encoding, built on first use and kept: it never changes once built.
    // Null when there is none.
    static std::shared_ptr<const ShiftJisTable> For(const std::string& encoding) {
        static std::mutex lock;
        static std::map<std::string, std::shared_ptr<const ShiftJisTable>> built;
        const std::lock_guard<std::mutex> hold(lock);
        const auto found = built.find(encoding);
        if (found != built.end()) return found->second;
        auto table = std::make_shared<ShiftJisTable>();
        if (!table->Build(encoding)) table.reset();
        built[encoding] = table;
        return table;
    }
};

class ShiftJisTableDecoder final : public TextDecoder {
  public:
    explicit ShiftJisTableDecoder(std::shared_ptr<const ShiftJisTable> table)
        : table_(std::move(table)) {}

    void Decode(std::string_view bytes, bool last, std::string& out) override {
        // Decoded a block at a time into a buffer of its own, then appended: growing out to
        // the most the bytes could become would fill three times their size with zeros.
        out.reserve(out.size() + bytes.size() + bytes.size() / 2 + 16);
        char buffer[3 * kBlock + 16];
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const unsigned char* const end = p + bytes.size();
        char* dst = buffer;
        if (pending_ >= 0 && p < end) {  // the lead byte the last piece ended with
            dst = Put(table_->entries[table_->rows[pending_] + *p], dst);
            if (table_->entries[table_->rows[pending_] + *p] != 0) ++p;
            pending_ = -1;
        }
        const ShiftJisTable& table = *table_;
        while (p < end) {
            // A block ends after at most kBlock bytes, or one more when a pair crosses it.
            const unsigned char* const blockEnd = end - p > kBlock ? p + kBlock : end;
            while (p < blockEnd) {
                const unsigned b = *p;
                if (b < 0x80 && table.asciiSame) {
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
                } else if (!table.lead[b]) {
                    dst = Put(table.entries[b], dst);
                    ++p;
                } else if (p + 1 == end) {
                    if (!last) {
                        pending_ = static_cast<int>(b);
                    } else {
                        dst = Put(0, dst);
                    }
                    ++p;
                } else {
                    const uint32_t entry = table.entries[table.rows[b] + p[1]];
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

  private:
    // Writes an entry's bytes, or U+FFFD (counted) for none.
    char* Put(uint32_t entry, char* dst) {
        if (entry == 0) {
            std::memcpy(dst, kReplacementCharacter, 3);
            ++undecodable_;
            return dst + 3;
        }
        std::memcpy(dst, &entry, 4);  // the fourth byte is overwritten by what follows
        return dst + (entry >> 24);
    }

    static constexpr std::ptrdiff_t kBlock = 4096;  // input bytes decoded at a time
    std::shared_ptr<const ShiftJisTable> table_;
    int pending_ = -1;  // a lead byte that ended the last piece
};

bool IsShiftJisName(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "CP932" || name == "WINDOWS-31J" || name == "MS_KANJI" || name == "SJIS" ||
           name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "CSSHIFTJIS" ||
           name == "IBM-943" || name == "IBM943";
}

class IconvShiftJisEncoder final : public ShiftJisEncoder {
  public:
    IconvShiftJisEncoder() : conversion_("CP932", "UTF-8") {}
    bool Usable() const { return conversion_.Usable(); }

    void Encode(std::string_view utf8, std::string& out) override {
        while (!conversion_.Convert(utf8, out)) {
            out += '?';
            const std::size_t n = Utf8CharLength(utf8);
            utf8.remove_prefix(n == 0 ? 1 : n);
        }
        conversion_.Reset(out);
    }

  private:
    Conversion conversion_;
};

}  // namespace

std::unique_ptr<TextDecoder> OpenPlatformDecoder(const std::string& encoding) {
    if (IsShiftJisName(encoding)) {
        auto table = ShiftJisTable::For(encoding);
        if (!table) return nullptr;
        return std::make_unique<ShiftJisTableDecoder>(std::move(table));
    }
    auto decoder = std::make_unique<IconvDecoder>(encoding);
    if (!decoder->Usable()) return nullptr;
    return decoder;
}

std::unique_ptr<ShiftJisEncoder> OpenShiftJisEncoder() {
    auto encoder = std::make_unique<IconvShiftJisEncoder>();
    if (!encoder->Usable()) return nullptr;
    return encoder;
}

}  // namespace horofu
