# horofu.exe, the horofu command as a console program. Included by this folder's
# CMakeLists.txt. It lives in a folder of its own (console/, and command/ in the zip): Windows
# names are case-blind, and Horofu.exe is beside it otherwise.
add_executable(horofu_cli horofu_console_main.cpp Terminal_win32.cpp
    CommandSystem_win32.cpp ${PROJECT_SOURCE_DIR}/command/EnglishCatalog.cpp)
target_link_libraries(horofu_cli PRIVATE horofu_command)
# wmain takes the arguments in UTF-16, whatever the code page.
target_link_options(horofu_cli PRIVATE -municode)
set_target_properties(horofu_cli PROPERTIES OUTPUT_NAME horofu
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/console)
