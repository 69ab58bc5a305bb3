# Debian's hardening for the release build: the flags dpkg-buildflags gives (fortify, stack
# protector, relro) with bind-now added, for the architecture the build is for. Set
# KV_DEBIAN_BUILDFLAGS=OFF to build with the compiler's own defaults.
# The Windows build is not a Debian package and its linker knows no relro.
set(kv_release_build OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    set(kv_release_build ON)
endif()
option(KV_DEBIAN_BUILDFLAGS "Build with dpkg-buildflags' hardening flags" ${kv_release_build})
find_program(KV_DPKG_BUILDFLAGS dpkg-buildflags)
if(KV_DEBIAN_BUILDFLAGS AND KV_DPKG_BUILDFLAGS AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT WIN32)
    set(kv_host_arch "")
    if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        set(kv_host_arch DEB_HOST_ARCH=arm64)
    endif()
    foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
        # Run in the source folder, whose path its file prefix map then takes out of the objects.
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env ${kv_host_arch}
                    DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow ${KV_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE kv_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(kv_flags UNIX_COMMAND "${kv_flags}")
        # The optimisation and debug level stay the build type's.
        list(FILTER kv_flags EXCLUDE REGEX "^-(O[0-9s]?|g)$")
        set(kv_${kind} ${kv_flags})
    endforeach()
    foreach(flag IN LISTS kv_CPPFLAGS kv_CFLAGS)
        add_compile_options("$<$<COMPILE_LANGUAGE:C>:${flag}>")
    endforeach()
    foreach(flag IN LISTS kv_CPPFLAGS kv_CXXFLAGS)
        add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${flag}>")
    endforeach()
    add_link_options(${kv_LDFLAGS})
    message(STATUS "Hardening from dpkg-buildflags: ${kv_CPPFLAGS} ${kv_CXXFLAGS} ${kv_LDFLAGS}")
endif()
