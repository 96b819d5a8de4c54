// The common open and save dialogs, filled in from a FileDialogRequest.
#include "platform/win32/FileDialogs.h"

#include <commdlg.h>

#include "runtime/FileDialogRequest.h"

namespace horofu {

Text ChooseFile(HWND owner, const Text& extensions, const Text& initialPath, const Text& title,
                bool open) {
    FileDialogRequest request = BuildFileDialogRequest(extensions, initialPath, title, open);
    // The record as Windows 95/NT 4 knew it: request.structSize (76) leaves out the three
    // fields Windows 2000 added, which stay zero here and are not read by the dialog.
    OPENFILENAMEA record{};
    record.lStructSize = request.structSize;
    record.hwndOwner = owner;
    record.lpstrFilter = request.filter.Data();
    record.nFilterIndex = request.filterIndex;
    record.lpstrFile = request.fileName.data();
    record.nMaxFile = static_cast<DWORD>(request.fileName.size());
    record.lpstrInitialDir = request.initialDirectory.Data();
    record.lpstrTitle = request.title.Data();
    record.Flags = request.flags;
    record.lpstrDefExt = request.defaultExtension.Data();
    // Text keeps a zero byte after its bytes, so Data() is a zero-ended string; the filter
    // carries its own closing pair of zero bytes.
    const BOOL chosen = request.open ? GetOpenFileNameA(&record) : GetSaveFileNameA(&record);
    if (chosen != 1) return Text();
    return FileNameInBuffer(request.fileName);
}

Text ChooseOpenFile(HWND owner, const Text& extensions, const Text& initialPath,
                    const Text& title) {
    return ChooseFile(owner, extensions, initialPath, title, true);
}

Text ChooseSaveFile(HWND owner, const Text& extensions, const Text& initialPath,
                    const Text& title) {
    return ChooseFile(owner, extensions, initialPath, title, false);
}

}  // namespace horofu
