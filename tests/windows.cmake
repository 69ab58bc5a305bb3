# The Windows test programs, run under Wine (the toolchain's emulator runs them, and CTest's
# listing of them). Every test file that is not about Linux itself: left out are the tests of the
# serial link, the programs and the soak (pseudo-terminals and child processes), the setup widgets
# (GTK), the package, the report (a Linux program), the drawing-call counts (they wrap OpenGL
# calls at link time, which a DLL's imported calls escape), and the setup-controls and settings
# tests (symbolic links, and the scratch folders and descriptor counts of the Linux test support). The link against the simulator, the setup dialog and the
# installer are checked by tools/windows-check.sh.
find_package(GTest REQUIRED)
include(GoogleTest)

add_library(kv_test_support STATIC support/gl_context.cpp support/plain_drawing.cpp
                                   support/png_files_win32.cpp support/settings_frame.cpp)
target_include_directories(kv_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(kv_test_support PRIVATE ${KV_WARNINGS})
target_link_libraries(kv_test_support PUBLIC kestro GTest::gtest windowscodecs ole32)
# M_PI and the like, which the C library here names only when asked.
target_compile_definitions(kv_test_support PUBLIC _USE_MATH_DEFINES
                                                  KV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                  KV_BINARY_DIR="${PROJECT_BINARY_DIR}")

function(kv_add_windows_tests folder)
    set(sources ${ARGN})
    list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/)
    list(TRANSFORM sources APPEND _test.cpp)
    set(name ${folder}_tests)
    add_executable(${name} ${sources})
    target_compile_options(${name} PRIVATE ${KV_WARNINGS})
    target_link_libraries(${name} PRIVATE kv_test_support GTest::gtest_main)
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:SDL2::SDL2>
                $<TARGET_FILE_DIR:${name}>)
    # One Wine start per test case costs about a second: each program runs whole, once.
    add_test(NAME ${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS "windows;${folder}"
                                            RESOURCE_LOCK display)
endfunction()

kv_add_windows_tests(dashboard battery_plot dial_pixels dial_scale frame_changes frame_pixels
                     gauges kept_frames reference_frames)
kv_add_windows_tests(link quantities)
kv_add_windows_tests(shell back_buffer command_line frame_pacing window_events)
kv_add_windows_tests(text text_measuring text_print)
