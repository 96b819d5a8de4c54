# The console window: its thread, its window procedure and its GDI drawing. Included by this
# folder's CMakeLists.txt.
add_library(horofu_console_win32 STATIC
    ConsoleWindow.cpp
    GdiConsoleSurface.cpp
)
target_link_libraries(horofu_console_win32 PUBLIC horofu_console gdi32 user32)
