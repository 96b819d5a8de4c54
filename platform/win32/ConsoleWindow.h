// The console window: its thread, its window procedure, and what start-up calls to bring it
// up, name it and hear of its closing.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/GdiConsoleSurface.h"
#include "runtime/Text.h"

// <windows.h> maps SetConsoleTitle to the text-mode console's SetConsoleTitleA; the name
// here is this window's.
#ifdef SetConsoleTitle
#undef SetConsoleTitle
#endif

namespace horofu {

// Starts the console thread and waits, testing every 20 ms (the first test after 20 ms),
// until the window has painted once, is minimised (and so will not paint until restored), or
// has been shown for 2 s without a paint: then the buffer, font, metrics, background surface
// and window exist, and the answer is true. If the thread, the font, the window class or the
// window cannot be created, the answer is false at once: there is no console and nothing may
// be printed. Called once by start-up on the main thread.
bool StartConsole();

// The console window, the owner of every dialog and message box; null without a console.
// Called by start-up after StartConsole.
HWND ConsoleWindowHandle();

// Sets the window's caption to the bytes of text; answers SetWindowTextA's result (non-zero
// on success). Called by start-up once, with the program's title.
BOOL SetConsoleTitle(const Text& text);

// Called on the console thread when the user has closed the window, after the window is gone
// and before the thread ends the process with ExitProcess(0); the process ends when it
// returns. Start-up registers one to stop a running conversion and remove its temporary
// file. It runs while the main thread may still be printing (prints then draw nothing) or
// showing a dialog, so it must not wait for anything that needs the console window. May be
// set at any time; an empty one means none.
void SetConsoleClosedHandler(std::function<void()> handler);

// Chooses how prints and paints draw; only benchmarks set it, before StartConsole.
void SetConsoleDrawing(GdiDrawing drawing);

// The console thread's procedure; started by StartConsole only.
DWORD WINAPI ConsoleThreadMain(LPVOID unused);

// The window procedure of class "PROMPT".
LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace horofu
