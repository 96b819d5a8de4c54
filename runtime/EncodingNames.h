// The encodings the core decodes itself, and which names stand for them: one policy for both
// front ends and for the thread's encoding, whether named by the user or found in its bytes.
#pragma once

#include <string>
#include <string_view>

namespace horofu {

enum class Encoding { Utf8, ShiftJis, EucJp, Utf16Le, Utf16Be, Other };

// The encoding a name stands for, ignoring ASCII case, '-' and '_' ("Shift_JIS", "sjis",
// "CP932", "Windows-31J" are one). Shift-JIS is always read as CP932, the form every
// board's browser writes. Other for names the core leaves to the platform. Called by
// OpenDecoder, ChooseEncoding and the command's check of the locale's codeset.
Encoding EncodingFromName(std::string_view name);

// The name the core gives an encoding in messages and summaries ("UTF-8", "CP932",
// "EUC-JP", "UTF-16LE", "UTF-16BE"). Called by ChooseEncoding and NgFilter.
std::string_view EncodingName(Encoding encoding);

}  // namespace horofu
