# The Windows installer, kestroview-<version>-setup.exe in the build folder, made by NSIS:
# `cmake --build --preset windows --target installer`. The fallback fonts are the build
# machine's Liberation Sans (fonts-liberation2), metric-compatible with the Arial the dashboard
# asks for.
find_program(KV_MAKENSIS makensis)
set(KV_LIBERATION_DIR /usr/share/fonts/truetype/liberation2)
set(KV_FONT_REGULAR ${KV_LIBERATION_DIR}/LiberationSans-Regular.ttf)
set(KV_FONT_BOLD ${KV_LIBERATION_DIR}/LiberationSans-Bold.ttf)
set(KV_FONT_LICENSE /usr/share/doc/fonts-liberation2/copyright)
if(NOT KV_MAKENSIS OR NOT EXISTS ${KV_FONT_REGULAR} OR NOT EXISTS ${KV_FONT_BOLD})
    message(STATUS "No installer: makensis or Liberation Sans (fonts-liberation2) is missing")
    return()
endif()

set(KV_INSTALLER ${PROJECT_BINARY_DIR}/kestroview-${PROJECT_VERSION}-setup.exe)
set(KV_PROGRAM $<TARGET_FILE:kestroview>)
set(KV_SDL2_DLL $<TARGET_FILE:SDL2::SDL2>)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestroview.nsi.in ${PROJECT_BINARY_DIR}/kestroview.nsi.in
               @ONLY)
# The program's and the DLL's paths are known only when generating.
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/kestroview.nsi INPUT ${PROJECT_BINARY_DIR}/kestroview.nsi.in)
add_custom_command(
    OUTPUT ${KV_INSTALLER}
    COMMAND ${KV_MAKENSIS} -V2 ${PROJECT_BINARY_DIR}/kestroview.nsi
    DEPENDS kestroview ${PROJECT_BINARY_DIR}/kestroview.nsi ${CMAKE_CURRENT_LIST_DIR}/kestroview.nsi.in
    VERBATIM)
add_custom_target(installer ALL DEPENDS ${KV_INSTALLER})
