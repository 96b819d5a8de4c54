// What a file dialog is given, worked out without the platform: the front ends only copy it
// into their own dialog (OPENFILENAMEA on Windows, the terminal prompt of the horofu command).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/Text.h"

namespace horofu {

// Room for the initial file name and for the chosen path, terminating zero included.
inline constexpr std::size_t kFileNameBufferSize = 260;
using FileNameBuffer = std::array<char, kFileNameBufferSize>;

// What the dialog is to show and start from. Windows copies it into its dialog record, the
// horofu command into the lines of its terminal question.
struct FileDialogRequest {
    Text filter;                // lpstrFilter: FilterText, ends in two zero bytes
    Text initialDirectory;      // lpstrInitialDir: always ends in the separator
    FileNameBuffer fileName{};  // lpstrFile (nMaxFile = its size): initial name, zero-filled
    // nFilterIndex: the entry selected, counted from 1; the dialog writes back the one the
    // user left selected.
    uint32_t filterIndex = 1;
    Text defaultExtension;  // lpstrDefExt: PathExtension of the initial path, "*" for none
    Text title;             // lpstrTitle
    bool open = true;       // the open dialog when true, the save dialog otherwise
};

// The request for a dialog starting from initialPath, in currentDirectory when the path names
// none, its parts split at separator: Windows builds it with CurrentDirectory() and
// kWindowsSeparator just before it shows the dialog, the horofu command with kPosixSeparator.
FileDialogRequest BuildFileDialogRequest(const Text& extensions, const Text& initialPath,
                                         const Text& title, bool open, const Text& currentDirectory,
                                         char separator);

// The name the dialog's file field starts with: the whole initial path when its directory
// (PathDirectory) is the current directory, which is also the case when the path names no
// directory; otherwise the bytes after the directory.
Text InitialFileName(const Text& initialPath, const Text& directory, const Text& currentDirectory,
                     char separator);

// A file-name buffer holding name followed by zero bytes. A name that does not fit with its
// terminating zero is cut to 259 bytes, one byte less when that would split a double-byte
// character.
FileNameBuffer MakeFileNameBuffer(const Text& name);

// The bytes of the buffer up to its first zero byte: the path the dialog wrote back, or the
// initial name before it ran.
Text FileNameInBuffer(const FileNameBuffer& buffer);

}  // namespace horofu
