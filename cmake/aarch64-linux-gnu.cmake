# Cross build for arm64 (a Raspberry Pi with Raspberry Pi OS bookworm, or any Debian 12 arm64)
# with Debian's g++-aarch64-linux-gnu, against the sysroot tools/arm64-sysroot.sh assembles.
# KV_ARM64_SYSROOT names another sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

if(NOT KV_ARM64_SYSROOT)
    set(KV_ARM64_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../build/arm64-sysroot)
endif()
get_filename_component(KV_ARM64_SYSROOT ${KV_ARM64_SYSROOT} ABSOLUTE)
if(NOT EXISTS ${KV_ARM64_SYSROOT}/.kv-sysroot)
    message(FATAL_ERROR "No arm64 sysroot at ${KV_ARM64_SYSROOT}: run tools/arm64-sysroot.sh")
endif()
set(CMAKE_SYSROOT ${KV_ARM64_SYSROOT})
# try_compile projects read this file again; they need to know the sysroot too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KV_ARM64_SYSROOT)

# Libraries, headers and packages come from the sysroot only; programs run at build time are
# the host's.
set(CMAKE_FIND_ROOT_PATH ${KV_ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks inside the sysroot alone and puts it in front of every path it reports.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${KV_ARM64_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
    "${KV_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${KV_ARM64_SYSROOT}/usr/share/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})

# Test programs run under qemu: CTest's own listing of the tests, and (through binfmt_misc,
# with QEMU_LD_PREFIX from the test preset) every program a test starts.
find_program(KV_QEMU_AARCH64 qemu-aarch64-static)
if(KV_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KV_QEMU_AARCH64} -L ${KV_ARM64_SYSROOT})
endif()
