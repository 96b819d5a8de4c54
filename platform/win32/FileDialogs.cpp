// The common open and save dialogs, filled in from a FileDialogRequest, and the folder dialog.
#include "platform/win32/FileDialogs.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstddef>
#include <string>

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

// Text in the system code page as UTF-16, for the shell's wide calls.
std::wstring Wide(const Text& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.Data(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.Data(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

// A UTF-16 path in the system code page; false when a character has no spelling in it.
bool Narrow(const wchar_t* wide, Text& text) {
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, &lost);
    if (size <= 0 || lost) return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, bytes.data(), size, nullptr, &lost);
    if (lost) return false;
    bytes.resize(bytes.size() - 1);
    text = Text(bytes);
    return true;
}

// The Vista folder dialog: the file dialog choosing folders, opened in parent with name typed
// in, so that Enter takes parent\name whether it exists or not. Answers false when the system
// has no such dialog.
bool ChooseFolderInFileDialog(HWND owner, const Text& parent, const Text& name, const Text& title,
                              Text& chosen, bool& unnamed) {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog)))) {
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    // A new folder's name is taken: only its parent must exist.
    options =
        (options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR | FOS_PATHMUSTEXIST) &
        ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_FILEMUSTEXIST);
    dialog->SetOptions(options);
    dialog->SetTitle(Wide(title).c_str());
    IShellItem* folder = nullptr;
    if (SUCCEEDED(
            SHCreateItemFromParsingName(Wide(parent).c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
        dialog->SetFolder(folder);
        folder->Release();
    }
    dialog->SetFileName(Wide(name).c_str());
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            unnamed = !Narrow(path, chosen);
            CoTaskMemFree(path);
        }
        result->Release();
    }
    dialog->Release();
    return true;
}

// The older folder dialog, for a system without the Vista one: parent selected, name in its
// edit box; a name typed there that is no existing folder is taken as a new one in the folder
// selected.
struct BrowseState {
    const Text* parent;
    const Text* name;
    Text selected;  // the folder selected last
    Text typed;     // what the edit box held when it named no existing folder
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM value, LPARAM data) {
    auto* state = reinterpret_cast<BrowseState*>(data);
    if (message == BFFM_INITIALIZED) {
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(state->parent->Data()));
        // The edit box, which shows the folder selected; the proposed name replaces it.
        constexpr int kEditBox = 0x3744;
        SetDlgItemTextA(dialog, kEditBox, state->name->Data());
    } else if (message == BFFM_SELCHANGED) {
        char path[MAX_PATH] = {};
        const bool named = SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(value), path);
        state->selected = named ? Text(path) : Text();
    } else if (message == BFFM_VALIDATEFAILEDA) {
        state->typed = Text(reinterpret_cast<const char*>(value));
        return 0;  // closes the dialog
    }
    return 0;
}

Text ChooseFolderInBrowseDialog(HWND owner, const Text& parent, const Text& name,
                                const Text& title) {
    BrowseState state{&parent, &name, Text(), Text()};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.Data();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!state.typed.Empty()) {
        // A new folder's name: a full path typed stands alone, a name is one in the folder
        // selected.
        if (chosen != nullptr) CoTaskMemFree(chosen);
        const std::string& typed = state.typed.Bytes();
        const bool full = typed.size() > 1 && (typed[1] == ':' || typed.rfind("\\\\", 0) == 0);
        if (full) return state.typed;
        if (state.selected.Empty()) return Text();
        return DirectoryWithSeparator(state.selected, kWindowsSeparator) + state.typed;
    }
    if (chosen == nullptr) return Text();
    char path[MAX_PATH] = {};
    const BOOL named = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    return named ? Text(path) : Text();
}

}  // namespace

Text ChooseFolder(HWND owner, const Text& parent, const Text& name, const Text& title,
                  bool& unnamed) {
    unnamed = false;
    // The shell's dialogs need COM on this thread, in a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Text chosen;
    if (!ChooseFolderInFileDialog(owner, parent, name, title, chosen, unnamed)) {
        chosen = ChooseFolderInBrowseDialog(owner, parent, name, title);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

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
