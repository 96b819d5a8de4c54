// The common open and save dialogs, filled in from a FileDialogRequest.
#include "platform/win32/FileDialogs.h"

#include <commdlg.h>

#include <cstddef>

#include "runtime/CurrentDirectory.h"
#include "runtime/FileDialogRequest.h"
#include "runtime/PathParts.h"

namespace horofu {
namespace {

// lStructSize: the record as Windows 95/NT 4 knew it (OPENFILENAME_SIZE_VERSION_400A, 76
// bytes), without the three fields Windows 2000 added; they stay zero and are not read.
constexpr DWORD kRecordSize = 76;
static_assert(kRecordSize == offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));

// No read-only check box; the save dialog asks before an existing file is chosen for
// replacing; only names in existing directories. The open dialog gets the same, so it accepts
// the name of a file that does not exist yet. 2054 in all.
constexpr DWORD kFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;

}  // namespace

Text ChooseFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                bool open, uint32_t& fileType) {
    FileDialogRequest request = BuildFileDialogRequest(extensions, initialPath, title, open,
                                                       CurrentDirectory(), kWindowsSeparator);
    request.filterIndex = fileType;
    OPENFILENAMEA record{};
    record.lStructSize = kRecordSize;
    record.hwndOwner = owner;
    // Text keeps a zero byte after its bytes, so Data() is a zero-ended string; the filter
    // carries its own closing pair of zero bytes.
    record.lpstrFilter = request.filter.Data();
    record.nFilterIndex = request.filterIndex;
    record.lpstrFile = request.fileName.data();
    record.nMaxFile = static_cast<DWORD>(request.fileName.size());
    record.lpstrInitialDir = request.initialDirectory.Data();
    record.lpstrTitle = request.title.Data();
    record.Flags = kFlags;
    record.lpstrDefExt = request.defaultExtension.Data();
    const BOOL chosen = request.open ? GetOpenFileNameA(&record) : GetSaveFileNameA(&record);
    if (chosen != 1) return Text();
    fileType = record.nFilterIndex;
    return FileNameInBuffer(request.fileName);
}

Text ChooseOpenFile(HWND owner, const Text& extensions, const Text& initialPath,
                    const Text& title) {
    uint32_t fileType = 1;
    return ChooseFile(owner, extensions, initialPath, title, true, fileType);
}

Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath,
                    const Text& title) {
    uint32_t fileType = 1;
    return ChooseFile(owner, extensions, initialPath, title, false, fileType);
}

Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                    uint32_t& fileType) {
    return ChooseFile(owner, extensions, initialPath, title, false, fileType);
}

Text PathDirectory(const Text& path) {
    return PathDirectory(path, CurrentDirectory(), kWindowsSeparator);
}

}  // namespace horofu
