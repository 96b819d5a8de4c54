// Decoders for the modern page on Windows: Shift-JIS (code page 932) through the code-page
// calls. UTF-8 is decoded by the core.
#include <windows.h>

#include <cctype>
#include <string>

#include "runtime/ShiftJis.h"
#include "runtime/TextDecoder.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

constexpr UINT kShiftJis = 932;

bool IsShiftJisName(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "CP932" || name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "SJIS" ||
           name == "WINDOWS-31J" || name == "MS_KANJI";
}

// Appends the UTF-8 of wide characters to out.
void AppendUtf8(const wchar_t* wide, int count, std::string& out) {
    if (count <= 0) return;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    const std::size_t used = out.size();
    out.resize(used + static_cast<std::size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, wide, count, out.data() + used, size, nullptr, nullptr);
}

// Decodes bytes of whole characters; false when some byte is not Shift-JIS.
bool DecodeWhole(const char* bytes, int size, std::wstring& wide, std::string& out) {
    if (size == 0) return true;
    wide.resize(static_cast<std::size_t>(size));
    const int count =
        ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes, size, wide.data(), size);
    if (count == 0) return false;
    AppendUtf8(wide.data(), count, out);
    return true;
}

class ShiftJisDecoder final : public TextDecoder {
  public:
    void Decode(std::string_view bytes, bool last, std::string& out) override {
        std::string joined;
        bytes = JoinCut(bytes, joined);
        // A lead byte at the very end waits for its trail byte.
        std::size_t whole = 0;
        while (whole < bytes.size()) {
            const bool lead = IsLeadByte(static_cast<unsigned char>(bytes[whole]));
            if (lead && whole + 1 == bytes.size()) break;
            whole += lead ? 2 : 1;
        }
        if (whole < bytes.size() && !last) cut_.assign(bytes.substr(whole));
        if (!last) bytes = bytes.substr(0, whole);
        if (DecodeWhole(bytes.data(), static_cast<int>(bytes.size()), wide_, out)) return;
        // Some byte is not Shift-JIS: one character at a time, each bad byte shown as U+FFFD.
        std::size_t i = 0;
        while (i < bytes.size()) {
            const bool lead = IsLeadByte(static_cast<unsigned char>(bytes[i]));
            const int size = lead && i + 1 < bytes.size() ? 2 : 1;
            if (DecodeWhole(bytes.data() + i, size, wide_, out)) {
                i += static_cast<std::size_t>(size);
            } else {
                out.append(kReplacementCharacter);
                ++undecodable_;
                ++i;
            }
        }
    }

  private:
    std::wstring wide_;
};

class Win32ShiftJisEncoder final : public ShiftJisEncoder {
  public:
    void Encode(std::string_view utf8, std::string& out) override {
        if (utf8.empty()) return;
        const int size = static_cast<int>(utf8.size());
        wide_.resize(utf8.size());
        const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide_.data(), size);
        if (count <= 0) return;
        const int length =
            ::WideCharToMultiByte(kShiftJis, 0, wide_.data(), count, nullptr, 0, "?", nullptr);
        const std::size_t used = out.size();
        out.resize(used + static_cast<std::size_t>(length));
        ::WideCharToMultiByte(kShiftJis, 0, wide_.data(), count, out.data() + used, length, "?",
                              nullptr);
    }

  private:
    std::wstring wide_;
};

}  // namespace

std::unique_ptr<TextDecoder> OpenPlatformDecoder(const std::string& encoding) {
    if (!IsShiftJisName(encoding)) return nullptr;
    return std::make_unique<ShiftJisDecoder>();
}

std::unique_ptr<ShiftJisEncoder> OpenShiftJisEncoder() {
    return std::make_unique<Win32ShiftJisEncoder>();
}

}  // namespace horofu
