# Horofu.exe, the desktop program, and the zip it ships in. Included by this folder's
# CMakeLists.txt.
# Its icon and version information come from Horofu.rc, compiled by mingw's windres.
enable_language(RC)
set(HOROFU_ICON ${CMAKE_CURRENT_SOURCE_DIR}/Horofu.ico)
configure_file(Horofu.rc.in Horofu.rc @ONLY)
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/Horofu.rc PROPERTY OBJECT_DEPENDS ${HOROFU_ICON})
add_executable(Horofu WIN32
    WinMain.cpp
    FileDialogs.cpp
    SiteDrop.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/Horofu.rc
)
target_link_libraries(Horofu PRIVATE horofu_app horofu_archive horofu_console_win32 comdlg32
    ole32 shell32 uuid)

# cmake --build BUILD --target horofu-zip: the program and the command (command/horofu.exe)
# with its Windows readme (Japanese and
# English), its licence, the screenshots the readme shows and the sample threads. Only a Release build is
# packed: the zip is what users run.
set(HOROFU_ZIP_NAME Horofu-${PROJECT_VERSION}-win32)
set(HOROFU_ZIP ${CMAKE_BINARY_DIR}/${HOROFU_ZIP_NAME}.zip)
set(HOROFU_ZIP_STAGE ${CMAKE_BINARY_DIR}/zip-stage)
set(HOROFU_ZIP_DIR ${HOROFU_ZIP_STAGE}/${HOROFU_ZIP_NAME})
set(HOROFU_ZIP_FILES
    ${CMAKE_CURRENT_SOURCE_DIR}/README.html
    ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/docs/console-echo.png
    ${PROJECT_SOURCE_DIR}/docs/save-dialog.png
    ${PROJECT_SOURCE_DIR}/docs/open-dialog.png
    ${PROJECT_SOURCE_DIR}/examples/sample-thread.txt
    ${PROJECT_SOURCE_DIR}/examples/sample-thread.dat)
if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    add_custom_target(horofu-zip
        COMMAND ${CMAKE_COMMAND} -E echo
            "horofu-zip packs a Release build: configure with -DCMAKE_BUILD_TYPE=Release"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
    return()
endif()
add_custom_command(OUTPUT ${HOROFU_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HOROFU_ZIP_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HOROFU_ZIP_DIR}/images ${HOROFU_ZIP_DIR}/examples
        ${HOROFU_ZIP_DIR}/command
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Horofu> ${CMAKE_CURRENT_SOURCE_DIR}/README.html
        ${HOROFU_ZIP_DIR}
    # The command, horofu.exe, in a folder of its own: Windows names are case-blind.
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:horofu_cli> ${HOROFU_ZIP_DIR}/command
    COMMAND ${CMAKE_STRIP} ${HOROFU_ZIP_DIR}/command/$<TARGET_FILE_NAME:horofu_cli>
    # The licence as a .txt, which a double click on Windows opens.
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${HOROFU_ZIP_DIR}/LICENSE.txt
    # Without its symbols the program is less than half the size.
    COMMAND ${CMAKE_STRIP} ${HOROFU_ZIP_DIR}/$<TARGET_FILE_NAME:Horofu>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/console-echo.png
        ${PROJECT_SOURCE_DIR}/docs/save-dialog.png ${PROJECT_SOURCE_DIR}/docs/open-dialog.png
        ${HOROFU_ZIP_DIR}/images
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/examples/sample-thread.txt
        ${PROJECT_SOURCE_DIR}/examples/sample-thread.dat ${HOROFU_ZIP_DIR}/examples
    COMMAND ${CMAKE_COMMAND} -E rm -f ${HOROFU_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${HOROFU_ZIP_STAGE}
        ${CMAKE_COMMAND} -E tar cf ${HOROFU_ZIP} --format=zip ${HOROFU_ZIP_NAME}
    DEPENDS Horofu horofu_cli ${HOROFU_ZIP_FILES}
    COMMENT "Packing ${HOROFU_ZIP_NAME}.zip"
    VERBATIM)
add_custom_target(horofu-zip DEPENDS ${HOROFU_ZIP})
