// How a list of post ordinals is written into the index: each gap from the one before as a
// variable-length number in URL-safe base64 characters (five bits each, the sixth saying
// another follows), so a list is a plain JavaScript string the page decodes cheaply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace horofu {

// One number in the code.
void AppendCodeNumber(std::string& into, uint64_t n);
// The numbers of a code; false when it holds a character the code has not.
bool DecodeNumbers(std::string_view code, std::vector<uint32_t>& numbers);

// Appends ordinals (ascending) to a list that ended at last (-1 before the first), each as its
// gap from the one before less one.
void AppendPostings(std::string& into, const std::vector<uint32_t>& ordinals, int64_t& last);
// The ordinals of a list; false when it holds a character the code has not.
bool DecodePostings(std::string_view code, std::vector<uint32_t>& ordinals);

// Plain variable-length numbers (seven bits a byte) for the update's scratch records.
void AppendNumber(std::string& into, uint64_t n);
bool ReadNumber(std::string_view bytes, std::size_t& at, uint64_t& n);

}  // namespace horofu
