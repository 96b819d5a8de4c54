# Horofu.exe, the desktop program, and the zip it ships in. Included by this folder's
# CMakeLists.txt.
add_executable(Horofu WIN32
    WinMain.cpp
    FileDialogs.cpp
)
target_link_libraries(Horofu PRIVATE horofu_converter horofu_console_win32 comdlg32)

# cmake --build BUILD --target horofu-zip: the program with its README and a sample thread.
set(HOROFU_ZIP_NAME Horofu-${PROJECT_VERSION}-win32)
set(HOROFU_ZIP ${CMAKE_BINARY_DIR}/${HOROFU_ZIP_NAME}.zip)
set(HOROFU_ZIP_STAGE ${CMAKE_BINARY_DIR}/zip-stage)
add_custom_command(OUTPUT ${HOROFU_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HOROFU_ZIP_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HOROFU_ZIP_STAGE}/${HOROFU_ZIP_NAME}/examples
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Horofu> ${PROJECT_SOURCE_DIR}/README.md
        ${HOROFU_ZIP_STAGE}/${HOROFU_ZIP_NAME}
    # Without its symbols the program is less than half the size.
    COMMAND ${CMAKE_STRIP} ${HOROFU_ZIP_STAGE}/${HOROFU_ZIP_NAME}/$<TARGET_FILE_NAME:Horofu>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/examples/sample-thread.txt
        ${HOROFU_ZIP_STAGE}/${HOROFU_ZIP_NAME}/examples
    COMMAND ${CMAKE_COMMAND} -E rm -f ${HOROFU_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${HOROFU_ZIP_STAGE}
        ${CMAKE_COMMAND} -E tar cf ${HOROFU_ZIP} --format=zip ${HOROFU_ZIP_NAME}
    DEPENDS Horofu ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/examples/sample-thread.txt
    COMMENT "Packing ${HOROFU_ZIP_NAME}.zip"
    VERBATIM)
add_custom_target(horofu-zip DEPENDS ${HOROFU_ZIP})
