// The process's numbered file channels: open a file on a number, read it field by field,
// write raw bytes, test for its end, close it. These work on one table for the whole process,
// as programs written against them expect; a conversion uses a ChannelTable of its own, whose
// operations mean the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "runtime/ChannelTable.h"
#include "runtime/InputTarget.h"
#include "runtime/PlatformFile.h"
#include "runtime/Text.h"

namespace horofu {

// The table the functions below work on.
ChannelTable& ProcessChannels();

// Opens path on channel (1 to 256) in mode 0 to 3 (see OpenMode). A refused open, or a mode
// outside 0 to 3, leaves the channel failed: reads then find nothing, writes write nothing
// and ChannelAtEnd answers -1. Mode 3 starts at the end of the file.
void OpenChannel(const Text& path, int mode, int channel);

// Puts a file opened elsewhere (a standard stream, say) on channel, as if OpenChannel had
// opened it in mode. A null file, or a mode outside 0 to 3, leaves the channel failed.
void AttachChannel(std::unique_ptr<PlatformFile> file, int mode, int channel);

// Writes what is still buffered, closes the file and empties the slot. Returns false when
// the channel was failed or some byte written to it did not reach the file.
bool CloseChannel(int channel);

// -1 when the channel's position is at or past the end of its file (or the channel is not
// open), else 0. The position stays where it is.
int ChannelAtEnd(int channel);

// Reads one field per target, in order, and stores it. A field starts at the first byte
// that is not a blank (space or tab) and ends at a line end (LF, or CR LF), a zero byte,
// the end of the file, or a comma outside double quotes; for targets that are not text,
// also at a blank outside quotes. Quotes stay in the field. Returns how many targets were
// filled: when the file ends before a field starts, or a read fails, the call stops and
// that target and the later ones keep their values.
int InputFields(int channel, std::initializer_list<InputTarget> targets);

// Reads up to size bytes at the channel's position, the read-ahead first, stopping short only
// at the end of the file (got = 0 there). False when a read fails; the channel is then failed
// for reading. Called by both pages, which cut the thread into records or lines themselves.
bool ReadChannel(int channel, char* into, std::size_t size, std::size_t& got);

// Moves a reading channel's position to position. False, with the position unchanged, where
// the file cannot seek (a pipe) or the channel cannot be read. Called by the classic page to
// read a very long record twice, and by the modern page to read the thread again from 0.
bool SeekChannel(int channel, uint64_t position);

// Writes every byte of text at the channel's position; adds nothing.
void WriteChannel(int channel, const Text& text);
void WriteChannel(int channel, std::string_view bytes);

// What went wrong on a channel since it was opened, for callers that report failures.
ChannelStatus GetChannelStatus(int channel);

// Bytes consumed so far (the position) and the file's size when opened, for progress.
uint64_t ChannelPosition(int channel);
uint64_t ChannelSizeAtOpen(int channel);

}  // namespace horofu
