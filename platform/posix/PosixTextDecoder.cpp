// Decoders for the modern page on POSIX systems, through iconv.
#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
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
        if (!pending_.empty()) {
            joined = std::move(pending_);
            pending_.clear();
            joined.append(bytes);
            bytes = joined;
        }
        while (!conversion_.Convert(bytes, out)) {
            if (errno == EINVAL && !last) {  // a character cut by the end of the piece
                pending_.assign(bytes);
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
    std::string pending_;
};

// Shift-JIS through a table of every character, filled by asking iconv once per character:
// Shift-JIS characters are one or two bytes and need no state, and a table lookup is many
// times quicker than iconv's own loop over a long thread.
struct ShiftJisTable {
    // A character's UTF-8 bytes in the order memory holds them; 0 for none. A zero byte's
    // entry is kZeroByte: its low byte is 0 and the rest is never read.
    static constexpr uint32_t kZeroByte = 0xFFFFFF00u;
    std::vector<uint32_t> entries = std::vector<uint32_t>(256, 0);  // single bytes, then rows
    std::array<uint32_t, 256> rows{};                               // per lead byte
    std::array<bool, 256> lead{};
    bool asciiSame = true;  // ASCII bytes decode to themselves

    static uint32_t Pack(const std::string& utf8) {
        if (utf8.empty() || utf8.size() > 4) return 0;
        uint32_t packed = 0;
        std::memcpy(&packed, utf8.data(), utf8.size());
        return packed == 0 ? kZeroByte : packed;
    }

    // False when iconv does not know the encoding.
    bool Build(const std::string& encoding) {
        Conversion conversion("UTF-8", encoding.c_str());
        if (!conversion.Usable()) return false;
        std::string out;
        for (unsigned b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::string_view in(&byte, 1);
            out.clear();
            if (conversion.Convert(in, out)) {
                entries[b] = Pack(out);
            } else {
                lead[b] = errno == EINVAL;
                out.clear();
                conversion.Reset(out);
            }
            if (b < 0x80 && (lead[b] || entries[b] != (b == 0 ? kZeroByte : b))) {
                asciiSame = false;
            }
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
                    entries[rows[b] + t] = Pack(out);
                } else {
                    out.clear();
                    conversion.Reset(out);
                }
            }
        }
        return true;
    }

    // The table for encoding, built on first use and kept: it never changes once built.
    static std::shared_ptr<const ShiftJisTable> For(const std::string& encoding) {
        static std::mutex lock;
        static std::map<std::string, std::shared_ptr<const ShiftJisTable>> built;
        const std::lock_guard<std::mutex> hold(lock);
        auto& slot = built[encoding];
        if (!slot) {
            auto table = std::make_shared<ShiftJisTable>();
            if (!table->Build(encoding)) return nullptr;
            slot = std::move(table);
        }
        return slot;
    }
};

class ShiftJisTableDecoder final : public TextDecoder {
  public:
    explicit ShiftJisTableDecoder(std::shared_ptr<const ShiftJisTable> table)
        : table_(std::move(table)) {}

    void Decode(std::string_view bytes, bool last, std::string& out) override {
        const ShiftJisTable& table = *table_;
        std::string joined;
        if (pending_ != 0) {
            joined.assign(1, pending_);
            joined.append(bytes);
            pending_ = 0;
            bytes = joined;
        }
        const std::size_t used = out.size();
        out.resize(used + bytes.size() * 3 + 8);
        char* dst = out.data() + used;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const unsigned char* const end = p + bytes.size();
        while (p < end) {
            // Eight ASCII bytes at a time: the same bytes in UTF-8.
            if (table.asciiSame && end - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    std::memcpy(dst, p, 8);
                    dst += 8;
                    p += 8;
                    continue;
                }
            }
            const unsigned b = *p;
            uint32_t packed;
            std::size_t taken = 1;
            if (!table.lead[b]) {
                packed = table.entries[b];
            } else if (p + 1 < end) {
                packed = table.entries[table.rows[b] + p[1]];
                taken = 2;
            } else if (!last) {
                pending_ = static_cast<char>(b);
                break;
            } else {
                packed = 0;
            }
            if (packed == 0) {
                // Not a character: this byte is shown as U+FFFD; the next starts afresh.
                std::memcpy(dst, kReplacementCharacter, 3);
                dst += 3;
                ++undecodable_;
                ++p;
                continue;
            }
            std::memcpy(dst, &packed, 4);
            const auto first = static_cast<unsigned char>(packed);
            dst += first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
            p += taken;
        }
        out.resize(static_cast<std::size_t>(dst - out.data()));
    }

  private:
    std::shared_ptr<const ShiftJisTable> table_;
    char pending_ = 0;
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
