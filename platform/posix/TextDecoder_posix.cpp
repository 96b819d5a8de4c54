// Decoders for the encodings the core leaves to the platform, and the echo's encoder, through
// iconv.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

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
