// Turning a thread's bytes into UTF-8, and UTF-8 into the Shift-JIS bytes the echo shows.
// The core decodes UTF-8, CP932, EUC-JP and UTF-16 itself, the same on every platform; the
// platform supplies any other encoding a user names (iconv on POSIX) and the echo's encoder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace horofu {

// A decoder keeps a character cut by the end of one piece for the next piece, so a thread may
// be decoded in pieces of any size.
class TextDecoder {
  public:
    virtual ~TextDecoder() = default;
    // Appends the UTF-8 of bytes to out. A character cut by the end of bytes waits for the next
    // call; with last set, it is undecodable. Each undecodable byte becomes U+FFFD and is
    // counted.
    virtual void Decode(std::string_view bytes, bool last, std::string& out) = 0;
    // Input bytes shown as U+FFFD so far.
    uint64_t Undecodable() const { return undecodable_; }

  protected:
    // The bytes to decode now: a character kept from the last piece joined to bytes (in
    // joined), or bytes itself. Called by the platforms' Decode first.
    std::string_view JoinCut(std::string_view bytes, std::string& joined) {
        if (cut_.empty()) return bytes;
        joined = std::move(cut_);
        cut_.clear();
        joined.append(bytes);
        return joined;
    }

    uint64_t undecodable_ = 0;
    std::string cut_;  // the start of a character cut by the end of the last piece
};

// Turns UTF-8 into Shift-JIS (CP932) for the echo.
class ShiftJisEncoder {
  public:
    virtual ~ShiftJisEncoder() = default;
    // Appends the Shift-JIS of utf8 (valid UTF-8) to out; a character Shift-JIS lacks
    // becomes '?'.
    virtual void Encode(std::string_view utf8, std::string& out) = 0;
};

// A decoder for the named encoding: the core's own for the names of EncodingNames.h, else the
// platform's; null when neither knows the name. Called by the modern page.
std::unique_ptr<TextDecoder> OpenDecoder(const std::string& encoding);

// A decoder for an encoding the core does not know, or null when the platform knows none by
// that name. Called by OpenDecoder only.
std::unique_ptr<TextDecoder> OpenPlatformDecoder(const std::string& encoding);

// Called by the modern page when its listener wants the echo; null when none is available.
std::unique_ptr<ShiftJisEncoder> OpenShiftJisEncoder();

}  // namespace horofu
