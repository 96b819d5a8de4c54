// The echo's encoder on Windows, through the code-page calls. The core decodes every encoding
// the program reads, so no other name is known here.
#include <windows.h>

#include <string>

#include "runtime/TextDecoder.h"

namespace horofu {
namespace {

constexpr UINT kShiftJis = 932;

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

std::unique_ptr<TextDecoder> OpenPlatformDecoder(const std::string&) {
    return nullptr;  // the core decodes every encoding Horofu.exe reads
}

std::unique_ptr<ShiftJisEncoder> OpenShiftJisEncoder() {
    return std::make_unique<Win32ShiftJisEncoder>();
}

}  // namespace horofu
