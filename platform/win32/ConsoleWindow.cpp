// The console window's thread and window procedure, and start-up's calls on it.
#include "platform/win32/ConsoleWindow.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "console/Console.h"

namespace horofu {
namespace {

constexpr char kClassName[] = "PROMPT";
constexpr char kCaption[] = "BASIC PROMPT";
constexpr char kFontFace[] = "\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9";  // ＭＳ 明朝

// consoleReady: 0 while the console comes up, 2 once its window is shown, 1 after every
// paint, -1 when it could not come up.
constexpr int kStarting = 0;
constexpr int kReady = 1;
constexpr int kShown = 2;
constexpr int kFailed = -1;

// How long StartConsole waits for the first paint of a shown window. A window that is never
// painted (started minimised, or on a display that does not draw it) is usable all the same.
constexpr std::chrono::milliseconds kFirstPaintWait{2000};

// What the window keeps besides the console itself; one per process.
struct ConsoleWindowState {
    std::atomic<int> consoleReady{kStarting};
    HWND window = nullptr;  // written before the first paint, read after StartConsole
    int screenWidth = 0;
    int screenHeight = 0;
    HDC background = nullptr;  // memory device context holding the black surface
    HBITMAP backgroundBitmap = nullptr;
    LOGFONTA logicalFont{};
    HFONT font = nullptr;
    GdiDrawing drawing = GdiDrawing::Runs;
    GlyphWidths glyphWidths;  // of the console font, for every surface on the window
    std::unique_ptr<GdiConsoleSurface> printSurface;  // what prints draw on
    SRWLOCK handlerLock = SRWLOCK_INIT;
    std::function<void()> closedHandler;
};

ConsoleWindowState& State() {
    static ConsoleWindowState state;
    return state;
}

// WM_CREATE: the black background surface, and the cell metrics of the console font.
// Answers -1 (no window) when the surface cannot be made.
LRESULT OnCreate(HWND window) {
    ConsoleWindowState& state = State();
    state.window = window;
    HDC dc = GetDC(window);
    state.backgroundBitmap = CreateCompatibleBitmap(dc, state.screenWidth, state.screenHeight);
    state.background = CreateCompatibleDC(dc);
    if (state.backgroundBitmap == nullptr || state.background == nullptr) {
        if (state.background != nullptr) DeleteDC(state.background);
        if (state.backgroundBitmap != nullptr) DeleteObject(state.backgroundBitmap);
        state.background = nullptr;
        state.backgroundBitmap = nullptr;
        ReleaseDC(window, dc);
        return -1;
    }
    SelectObject(state.background, state.backgroundBitmap);
    HGDIOBJ previousBrush = SelectObject(state.background, GetStockObject(BLACK_BRUSH));
    PatBlt(state.background, 0, 0, state.screenWidth, state.screenHeight, PATCOPY);
    SelectObject(state.background, previousBrush);

    HGDIOBJ previousFont = SelectObject(state.background, state.font);
    SIZE space{};
    GetTextExtentPoint32A(state.background, " ", 1, &space);
    TEXTMETRICA metrics{};
    GetTextMetricsA(state.background, &metrics);
    SelectObject(state.background, previousFont);
    ProcessConsole().SetMetrics({space.cx, metrics.tmHeight});
    ReleaseDC(window, dc);
    return 0;
}

// WM_PAINT: the whole client area black, every line drawn again, and the console ready.
void OnPaint(HWND window) {
    ConsoleWindowState& state = State();
    // All of it, not just the part that asked: a print may have scrolled pixels that waited
    // for this paint to a place outside that part.
    InvalidateRect(window, nullptr, FALSE);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr) {
        GdiConsoleSurface surface(window, dc, state.background, state.font, state.glyphWidths,
                                  state.drawing);
        ProcessConsole().Paint(surface);
    }
    EndPaint(window, &paint);
    state.consoleReady = kReady;
}

// WM_KILLFOCUS: the console never shows a caret.
void OnKillFocus(HWND window) {
    HideCaret(window);
    DestroyCaret();
}

// WM_DESTROY: prints stop drawing (waiting for one under way), the background surface goes,
// and the message loop is told to end.
void OnDestroy() {
    ConsoleWindowState& state = State();
    ProcessConsole().AttachWindow(nullptr);
    DeleteDC(state.background);
    DeleteObject(state.backgroundBitmap);
    state.background = nullptr;
    state.backgroundBitmap = nullptr;
    PostQuitMessage(0);
}

// The console thread cannot bring the console up: StartConsole is told, and what was made
// is undone.
DWORD Fail(bool classRegistered) {
    ConsoleWindowState& state = State();
    if (classRegistered) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    if (state.font != nullptr) DeleteObject(state.font);
    state.font = nullptr;
    state.consoleReady = kFailed;
    return 1;
}

// How the window is first shown: as whoever started the process asked (a shortcut set to
// "Minimized" asks for SW_SHOWMINNOACTIVE), else SW_SHOW. Windows applies the starter's wish
// to a process's first ShowWindow anyway; asking for it here makes every platform alike.
int FirstShowCommand() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOW;
}

void RunClosedHandler() {
    ConsoleWindowState& state = State();
    AcquireSRWLockExclusive(&state.handlerLock);
    std::function<void()> handler = state.closedHandler;
    ReleaseSRWLockExclusive(&state.handlerLock);
    if (handler) handler();
}

}  // namespace

bool StartConsole() {
    ConsoleWindowState& state = State();
    state.consoleReady = kStarting;
    HANDLE thread = CreateThread(nullptr, 0, ConsoleThreadMain, nullptr, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    // The wait for the paint starts when the window is shown, not before: making the font
    // and the window may take long on a slow machine, and it always ends one way or the other.
    std::chrono::steady_clock::time_point shownAt{};
    bool shown = false;
    for (;;) {
        Sleep(20);
        const int ready = state.consoleReady;
        if (ready == kReady) return true;
        if (ready == kFailed) return false;
        if (ready != kShown) continue;
        const auto now = std::chrono::steady_clock::now();
        if (!shown) {
            shown = true;
            shownAt = now;
        }
        // A minimised window gets no paint until it is restored.
        if (IsIconic(state.window) || now - shownAt >= kFirstPaintWait) return true;
    }
}

HWND ConsoleWindowHandle() {
    return State().window;
}

BOOL SetConsoleTitle(const Text& text) {
    return SetWindowTextA(State().window, text.Bytes().c_str());
}

void SetConsoleClosedHandler(std::function<void()> handler) {
    ConsoleWindowState& state = State();
    AcquireSRWLockExclusive(&state.handlerLock);
    state.closedHandler = std::move(handler);
    ReleaseSRWLockExclusive(&state.handlerLock);
}

void SetConsoleDrawing(GdiDrawing drawing) {
    State().drawing = drawing;
}

DWORD WINAPI ConsoleThreadMain(LPVOID /*unused*/) {
    ConsoleWindowState& state = State();
    ProcessConsole();  // the buffer: 101 empty lines, white on black
    state.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    state.screenHeight = GetSystemMetrics(SM_CYSCREEN);

    LOGFONTA& font = state.logicalFont;
    font = LOGFONTA{};
    font.lfHeight = -16;  // characters 16 pixels high
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH;
    std::memcpy(font.lfFaceName, kFontFace, sizeof kFontFace);
    state.font = CreateFontIndirectA(&font);
    if (state.font == nullptr) return Fail(false);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = ConsoleWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExA(&windowClass) == 0) return Fail(false);

    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, kCaption, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return Fail(true);
    state.window = window;
    state.printSurface = std::make_unique<GdiConsoleSurface>(
        window, nullptr, state.background, state.font, state.glyphWidths, state.drawing);
    ProcessConsole().AttachWindow(state.printSurface.get());
    ShowWindow(window, FirstShowCommand());
    // Unless the first paint has already come and gone during ShowWindow.
    int starting = kStarting;
    state.consoleReady.compare_exchange_strong(starting, kShown);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {  // 0: quit, -1: error
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    RunClosedHandler();
    ExitProcess(0);
}

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_SETFOCUS:
            return 0;
        case WM_KILLFOCUS:
            OnKillFocus(window);
            return 0;
        case WM_KEYDOWN:
            return 0;  // typed keys change nothing
        case WM_CHAR:
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace horofu
