// Lists the visible top-level windows of this Wine session and the texts of their child
// windows, for e2e_test.sh to read what a message box or a dialog shows (X sees only the
// titles). One line per window, the texts in hex so that Shift-JIS bytes pass unchanged:
//   W <class> <title-hex>            a top-level window
//   C <class> <control-id> <text-hex> a child of the W line above
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out.empty() ? "-" : out;
}

// WM_GETTEXT rather than GetWindowTextA: for a window of another process the latter answers
// only the caption it was created with, not what an edit field holds now.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return std::string();
    }
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &got)) {
        return std::string();
    }
    text.resize(got);
    return text;
}

std::string ClassOf(HWND window) {
    char name[128] = {0};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK ListChild(HWND child, LPARAM) {
    std::printf("C %s %d %s\n", ClassOf(child).c_str(), GetDlgCtrlID(child),
                Hex(TextOf(child)).c_str());
    return TRUE;
}

BOOL CALLBACK ListTopLevel(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    std::printf("W %s %s\n", ClassOf(window).c_str(), Hex(TextOf(window)).c_str());
    EnumChildWindows(window, ListChild, 0);
    return TRUE;
}

}  // namespace

int main() {
    EnumWindows(ListTopLevel, 0);
    return 0;
}
