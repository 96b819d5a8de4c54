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

// The values of the dialog record; every field of OPENFILENAMEA not named here stays zero.
struct FileDialogRequest {
    Text filter;                // lpstrFilter: FilterText, ends in two zero bytes
    Text initialDirectory;      // lpstrInitialDir: always ends in the separator
    FileNameBuffer fileName{};  // lpstrFile (nMaxFile = its size): initial name, zero-filled
    // lStructSize: the record as Windows 95/NT 4 knew it (OPENFILENAME_SIZE_VERSION_400A),
    // without the three fields Windows 2000 added.
    uint32_t structSize = 76;
    uint32_t filterIndex = 1;  // nFilterIndex: the first entry is selected
    // Flags: OFN_HIDEREADONLY 0x4 | OFN_OVERWRITEPROMPT 0x2 | OFN_PATHMUSTEXIST 0x800. The open
    // dialog gets the same, so it accepts the name of a file that does not exist yet.
    uint32_t flags = 2054;
    Text defaultExtension;  // lpstrDefExt: PathExtension of the initial path, "*" for none
    Text title;             // lpstrTitle
    bool open = true;       // the open dialog when true, the save dialog otherwise
};

// The request for a Windows dialog starting from initialPath, in the process's current
// directory when the path names none. Called by ChooseFile just before it shows the dialog
// (open is its open argument == 1).
FileDialogRequest BuildFileDialogRequest(const Text& extensions, const Text& initialPath,
                                         const Text& title, bool open);

// The same with the current directory given and any separator: for the horofu command
// (CurrentDirectory(), kPosixSeparator) and for tests.
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
