// The site's record: what the last run built, one line per thread, in a file in the site.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive/SiteThread.h"

namespace horofu {

// The record file's name in the site's folder.
inline constexpr char kRecordName[] = ".horofu-site";

// The record's first line, and the line of one thread appended to text. Called by the archive
// at the end of a run and now and then during it, so that a run cut short keeps what it
// finished; a large site's record is written a piece at a time, never held whole.
std::string_view RecordStart();
void AppendRecordLine(std::string& text, const SiteThread& thread);

// The record's bytes for threads: its first line and theirs.
std::string RecordText(const std::vector<const SiteThread*>& threads);

// Reading a record a line at a time: whether its first line starts a record, and the thread
// of one of its other lines (false for a line that cannot be read; its thread is built again).
bool IsRecordStart(std::string_view firstLine);
bool ReadRecordLine(std::string_view line, SiteThread& thread);

// The threads of a record's bytes; false when they are not a record (a line that cannot be
// read is skipped: its thread is built again).
bool ReadRecord(std::string_view text, std::vector<SiteThread>& threads);

// Fields of a line: a tab ends one; tab, line feed and backslash are escaped in them.
void AppendField(std::string& line, std::string_view field);
std::vector<std::string> SplitFields(std::string_view line);

}  // namespace horofu
