// The rules that turn one record of a thread into its line of the classic page.
#pragma once

#include <cstdint>
#include <string_view>

#include "converter/PageWriter.h"

namespace horofu {

constexpr uint64_t kNoMark = UINT64_MAX;

// What a record is: a post header (number and name before "名前：" and the date), or a body
// line. A header is a record with the date label, or else with "：0" (a date without label);
// its part before the date must hold "名前：", or the record is an ordinary line that happens
// to mention a date. Marks match ignoring ASCII case, but never through half of a double-byte
// character.
struct RecordKind {
    const char* placeholder = nullptr;  // a header's stand-in for its date; null for a body
    uint64_t nameAt = kNoMark;          // where "名前：" starts (headers)
    uint64_t dateAt = kNoMark;          // where the date starts (headers)
    bool IsHeader() const { return placeholder != nullptr; }
};

// The marks of one record, looked for in consecutive windows so that a record of any length
// is classified exactly without being held whole. The first window starts at the record's
// first byte; each later one starts with the last Overlap(size) bytes of the one before
// (offsets are the record's), so that a mark across the cut is seen once.
class RecordMarks {
  public:
    static constexpr std::size_t kOverlap = 8;
    static std::size_t Overlap(std::size_t windowSize) {
        return windowSize < kOverlap ? windowSize : kOverlap;
    }

    // Looks through window, whose first byte is the record's byte at offset at; bytes before
    // fresh were looked through with the window before.
    void Scan(std::string_view window, std::size_t fresh, uint64_t at);
    // The kind of the record once all its size bytes are scanned.
    RecordKind Resolve(uint64_t size) const;
    // The record's byte right before "名前：" (0 when it starts the record).
    unsigned char BeforeName() const { return beforeName_; }

  private:
    uint64_t name_ = kNoMark;
    uint64_t date_ = kNoMark;
    uint64_t colon_ = kNoMark;        // the last "：0" seen
    uint64_t colonBefore_ = kNoMark;  // the one before it
    unsigned char beforeName_ = 0;
    bool oddRun_ = false;  // whether an odd run of lead bytes ends right before the window
};

// The kind of a record held whole.
RecordKind ClassifyRecord(std::string_view record);

// The number in a header's anchor or a reply link: without the blank that ends it. Only a
// blank or control byte (0x20 or below) is taken off, so ">>12" keeps its 2 and no
// double-byte character is ever cut in half.
inline bool EndsInBlank(unsigned char last) {
    return last <= 0x20;
}

// Writes the page line of a record held whole; true when it was a post header. Called by
// the classic conversion for every record it reads.
bool PutClassicLine(PageWriter& out, std::string_view record);

}  // namespace horofu
