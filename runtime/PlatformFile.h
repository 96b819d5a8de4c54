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

// An open file. A file opened for writing is held exclusively: while it is open, any further
// open of the same file fails, and an open that fails for that reason changes nothing in the
// file. Files opened as Input are shared with other readers where the platform can tell
// readers apart (POSIX); elsewhere every open is exclusive.
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
// a file already held by another open, a path that cannot be created). On a refusal, the
// platform's reason (errno, GetLastError) goes to *systemError when given.
std::unique_ptr<PlatformFile> OpenPlatformFile(const Text& path, OpenMode mode,
                                               int* systemError = nullptr);

// The process's standard input and output as files, for a page read from or written to a
// pipe. Neither is locked nor emptied; closing one leaves the process's stream open.
std::unique_ptr<PlatformFile> OpenStandardInput();
std::unique_ptr<PlatformFile> OpenStandardOutput();

// What a page's target path names now, which decides how the page gets there.
enum class PageTarget {
    None,      // nothing: the page is created
    Existing,  // a name of any kind (a file, a link, dangling or not): replaced only if allowed
    Stream,    // a character device or pipe (/dev/null, a FIFO): written directly, in place
    Refused,   // something a page must never be written into (a block device)
};
// What path names now, as OpenPagePlace would find it.
PageTarget ClassifyPageTarget(const Text& path);

// Whether both paths name one existing file (the same file reached by two names included).
bool IsSameFile(const Text& a, const Text& b);

bool FileExists(const Text& path);

bool RemoveFile(const Text& path);

// How a complete page went into its place.
enum class PlaceResult { Placed, TargetExists, Failed };

// A page being written: an open file in the target's folder, private to the user while it is
// written, that nobody else can redirect (it is only ever used through its own handle) and
// that takes the target's place only when complete. Destroying one that was not put in place
// removes it; so does a signal that ends the program (where the platform has them).
// What is promised is what programs see: under the target's name, the old page or the whole
// new one, never a part. The page is not flushed to the disk before it takes the name, so
// after a crash of the whole system or a power cut the file system decides what the name
// holds (most keep the old page or the new one; some may leave an empty page).
class PendingPage {
  public:
    virtual ~PendingPage() = default;
    // A handle on the page's file for the channel that writes it; null when none can be made.
    // The caller closes it before PutInPlace.
    virtual std::unique_ptr<PlatformFile> OpenForWriting() = 0;
    // Gives the page the old page's permissions (a new page those of a new file) and puts it
    // at the target. Without mayReplace, a target that exists by then is left alone
    // (TargetExists), so that of two programs writing one new page, the second is told.
    virtual PlaceResult PutInPlace(bool mayReplace) = 0;
    // Sets the file's modification time (Unix seconds) once it is written, before PutInPlace:
    // an archive's page carries its thread's last post time. False where it cannot.
    virtual bool SetModificationTime(int64_t /*unixSeconds*/) { return false; }
    // The platform's reason for the last failure, 0 when none.
    virtual int SystemError() const = 0;
};

// Creates the file for a page that will take target's place, in target's folder; null when
// none could be created, with the platform's reason in *systemError when given.
std::unique_ptr<PendingPage> CreatePageBeside(const Text& target, int* systemError = nullptr);

// The place a page goes: its folder, opened once, and what its name held when looked at once,
// without following a link. Everything after goes through what was opened, so that a folder
// or a name swapped meanwhile (by whoever else may write in that folder) redirects nothing.
// Opened before the thread, held until the page is there.
class PagePlace {
  public:
    virtual ~PagePlace() = default;
    // What the name held when the place was opened: a link is Existing, whatever it leads to.
    virtual PageTarget Target() const = 0;
    // Called once the page may be written here. The device or pipe to write the page into in
    // place: the name's own, or with throughLink (a replacement was allowed) the one a link
    // there leads to. Null with *systemError 0 when the page goes through a new file instead
    // (nothing there, a file, a link to anything else); null with the reason when the stream
    // cannot be opened (ENXIO: a pipe that nobody reads).
    virtual std::unique_ptr<PlatformFile> OpenStream(bool throughLink, int* systemError) = 0;
    // A new file for the page in the place's folder, as CreatePageBeside makes one; its
    // PutInPlace gives it the permissions of the page that was there when the place was opened.
    virtual std::unique_ptr<PendingPage> CreatePage(int* systemError) = 0;
};

// Opens the place for a page at target; null when its folder cannot be opened or the name is
// unusable (too long, a folder's), with the platform's reason in *systemError when given.
std::unique_ptr<PagePlace> OpenPagePlace(const Text& target, int* systemError = nullptr);

// A new file for reading and writing that has no name, or one removed as soon as the file is
// closed or the process ends, however it ends; null when none could be made. Holds a thread
// read from a pipe while the modern page reads it twice.
std::unique_ptr<PlatformFile> OpenScratchFile();

}  // namespace horofu
