// The file calls a channel makes, and the path-level file operations the front ends share.
// Each platform implements these once (platform/posix, platform/win32); nothing else in the
// core reaches the operating system's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "runtime/Text.h"

namespace horofu {

// The four ways a channel opens its file.
enum class OpenMode {
    ReadWrite = 0,  // read and write; created when missing; position at the start
    Input = 1,      // read only; must exist
    Output = 2,     // write only; emptied or created
    Append = 3,     // write only; created when missing; position at the end
};

// An open file. Opened without sharing: while one is open, any further open of the same file
// fails, and an open that fails for that reason changes nothing in the file.
class PlatformFile {
  public:
    virtual ~PlatformFile() = default;
    // Reads up to size bytes at the file position. False on a read error; got = 0 at the end.
    virtual bool Read(char* into, std::size_t size, std::size_t& got) = 0;
    // Writes every byte at the file position; false when not all of them were written.
    virtual bool Write(const char* bytes, std::size_t size) = 0;
    virtual bool SeekTo(uint64_t offset) = 0;
    virtual bool Size(uint64_t& size) = 0;
    // Closes the file; false when the platform reports that data may not have been written.
    virtual bool Close() = 0;
};

// Opens path in the given mode, or returns null when the platform refuses (a missing input,
// a file already held by another open, a path that cannot be created).
std::unique_ptr<PlatformFile> OpenPlatformFile(const Text& path, OpenMode mode);

// The process's standard input and output as files, for a page read from or written to a
// pipe. Neither is locked nor emptied; closing one leaves the process's stream open.
std::unique_ptr<PlatformFile> OpenStandardInput();
std::unique_ptr<PlatformFile> OpenStandardOutput();

// Whether the path names something other than a regular file (a device, say), which is
// written in place rather than replaced.
bool IsSpecialFile(const Text& path);

// Whether both paths name one existing file (the same file reached by two names included).
bool IsSameFile(const Text& a, const Text& b);

bool FileExists(const Text& path);

// Creates a new empty file with a unique name in the folder of target, for a page that is
// later moved over target; returns its path, or empty text when none could be created.
Text CreateTemporaryBeside(const Text& target);

// Moves from over to, replacing to if it exists. False on failure, with both files unchanged.
bool ReplaceFile(const Text& from, const Text& to);

bool RemoveFile(const Text& path);

}  // namespace horofu
