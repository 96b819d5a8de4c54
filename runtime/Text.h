// Text values: byte strings in the system code page (Shift-JIS) with 1-based byte positions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace horofu {

// A run of bytes with an explicit length. Knows nothing of characters: a Shift-JIS double-byte
// character is two bytes, and cuts may fall between them. Values may hold zero bytes.
class Text {
  public:
    Text() = default;
    // A literal from the program's tables: its bytes up to the terminating zero byte.
    Text(const char* zeroEnded) : bytes_(zeroEnded) {}  // NOLINT(google-explicit-constructor)
    Text(const char* bytes, std::size_t length) : bytes_(bytes, length) {}
    explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}
    explicit Text(std::string_view bytes) : bytes_(bytes) {}

    const char* Data() const { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty(); }
    std::string_view View() const { return bytes_; }
    const std::string& Bytes() const { return bytes_; }
    // Direct access for the few owners that refill a value in place (field input, split
    // state) so that a long run of records does not allocate once per record.
    std::string& Bytes() { return bytes_; }

    Text& operator+=(const Text& more) {
        bytes_ += more.bytes_;
        return *this;
    }
    friend Text operator+(const Text& a, const Text& b) { return Text(a.bytes_ + b.bytes_); }
    friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }

  private:
    std::string bytes_;
};

// Length in bytes.
int32_t Len(const Text& t);

// 1 if a sorts before b, 2 if they are the same bytes, 3 if after. Compares bytes as unsigned.
int CompareText(const Text& a, const Text& b);

// A one-byte value holding the low 8 bits of code; Chr(0) holds a zero byte.
Text Chr(int32_t code);

// The first n bytes. A count below 0 gives empty text, one above Len(t) the whole text.
Text Left(const Text& t, int32_t n);

// The last n bytes; the whole text when n >= Len(t); empty text for n <= 0.
Text Right(const Text& t, int32_t n);

// length bytes from the 1-based position start; length 0 means up to the end. Outside the
// text, or with a negative length, the result is empty.
Text Mid(const Text& t, int32_t start, int32_t length);

// count copies of t; empty for count <= 0.
Text Repeat(int32_t count, const Text& t);

// t with its single-byte ASCII letters A-Z folded to a-z. A Shift-JIS double-byte character
// (lead byte 0x81-0x9F or 0xE0-0xFC and the byte after it) is left whole: folding its trail
// byte would turn one character into another.
Text LowerCase(const Text& t);

}  // namespace horofu
