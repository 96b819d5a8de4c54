// The text-field rules of InputFields applied to bytes already in memory, for callers that
// read large pieces of a file and cut them into fields themselves.
#pragma once

#include "runtime/ByteScan.h"

namespace horofu {

// The first byte in [p, end) that is not a blank (space or tab), or end.
inline const char* SkipFieldBlanks(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    return p;
}

// The bytes that end a text field or change what ends it.
inline constexpr ByteSet kFieldStops{'\0', '\n', ',', '"'};

// Where a text field that starts at p ends.
struct FieldEnd {
    const char* end;   // one past its last byte (a CR right before the LF is not part of it)
    const char* next;  // after the byte that ended it; null when [p, end) ran out first
};

// A text field ends at an LF (and a CR before it is dropped), a zero byte, or a comma outside
// double quotes; quotes stay in the field. A quote does not reach across a line end, so a
// field never holds an LF: bytes cut right after an LF or a zero byte start a field afresh.
inline FieldEnd FindFieldEnd(const char* p, const char* end) {
    bool inQuotes = false;
    for (const char* q = p;; ++q) {
        q = FindFirstOf(q, end, kFieldStops);
        if (q == end) return {end, nullptr};
        switch (*q) {
            case '\n':
                return {q > p && q[-1] == '\r' ? q - 1 : q, q + 1};
            case ',':
                if (!inQuotes) return {q, q + 1};
                break;
            case '"':
                inQuotes = !inQuotes;
                break;
            default:  // a zero byte
                return {q, q + 1};
        }
    }
}

}  // namespace horofu
