# What `cmake --install` puts where, and the Debian package made from it by CPack.
include(GNUInstallDirs)

# Who answers for the package: packaging/maintainer, the identity the project's commits are made
# under (the same in every checkout and copy of the tree), unless -DKV_PACKAGE_MAINTAINER names
# another.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/maintainer kv_maintainer LIMIT_COUNT 1)
set(KV_PACKAGE_MAINTAINER "${kv_maintainer}" CACHE STRING
    "The Debian package's maintainer, \"Name <address>\"")
if(NOT KV_PACKAGE_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
    message(FATAL_ERROR "The package maintainer \"${KV_PACKAGE_MAINTAINER}\" is not "
                        "\"Name <address>\" (packaging/maintainer or -DKV_PACKAGE_MAINTAINER)")
endif()
# The AppStream id: the maintainer's mail domain reversed, then the program (rDNS, as software
# centres expect), unless set.
string(REGEX REPLACE "^.*@([^>]+)>$" "\\1" kv_domain "${KV_PACKAGE_MAINTAINER}")
string(REPLACE "." ";" kv_domain "${kv_domain}")
list(REVERSE kv_domain)
list(JOIN kv_domain "." kv_domain)
string(REGEX REPLACE "[^A-Za-z0-9.]" "_" kv_domain "${kv_domain}")
set(KV_APPSTREAM_ID "${kv_domain}.kestroview" CACHE STRING "The AppStream component id")

# The copyright file is machine-readable: its Format line is taken as this machine's dpkg writes
# it, and the chart library's licence text from its own file.
set(KV_COPYRIGHT_FORMAT "")
if(EXISTS /usr/share/doc/dpkg/copyright)
    file(STRINGS /usr/share/doc/dpkg/copyright KV_COPYRIGHT_FORMAT REGEX "^Format: " LIMIT_COUNT 1)
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/tools/report/vendor/uplot-1.6.32/LICENSE kv_licence)
list(POP_FRONT kv_licence) # the title; the text starts at its copyright line
set(KV_UPLOT_LICENSE "")
foreach(line IN LISTS kv_licence)
    if(line STREQUAL "")
        set(line ".")
    endif()
    string(APPEND KV_UPLOT_LICENSE " ${line}\n")
endforeach()
string(REGEX REPLACE "\n$" "" KV_UPLOT_LICENSE "${KV_UPLOT_LICENSE}")
set(kv_pkg ${PROJECT_BINARY_DIR}/package)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${kv_pkg}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${kv_pkg}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/kestroview.metainfo.xml.in
               ${kv_pkg}/${KV_APPSTREAM_ID}.metainfo.xml @ONLY)

# Man pages and the changelog go out compressed, without a time stamp in the gzip header.
set(kv_compressed "")
foreach(page kestroview kestroview-launcher kestroview-report kestroview-sim)
    list(APPEND kv_pages ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
endforeach()
foreach(source ${kv_pages} ${kv_pkg}/changelog)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${kv_pkg}/${name}.gz
                       COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" sh ${source} ${kv_pkg}/${name}.gz
                       DEPENDS ${source} VERBATIM)
    list(APPEND kv_compressed ${kv_pkg}/${name}.gz)
endforeach()
add_custom_target(kv_package_files ALL DEPENDS ${kv_compressed})

install(TARGETS kestroview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestroview-sim)
    install(TARGETS kestroview-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${kv_pkg}/kestroview-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(TARGETS kestroview-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${kv_pkg}/kestroview-report.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/kestroview-launcher
        DESTINATION ${CMAKE_INSTALL_BINDIR})
# The installed programs are stripped; their debug symbols are kept apart in the build folder's
# debug/ (PROGRAM.debug, which gdb finds through the debug link the program then carries).
install(CODE "
    foreach(program kestroview kestroview-report kestroview-sim)
        set(installed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
        set(symbols \"${PROJECT_BINARY_DIR}/debug/\${program}.debug\")
        if(EXISTS \"\${installed}\")
            file(MAKE_DIRECTORY \"${PROJECT_BINARY_DIR}/debug\")
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --only-keep-debug
                                    \"\${installed}\" \"\${symbols}\" COMMAND_ERROR_IS_FATAL ANY)
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-all --remove-section=.comment
                                    --remove-section=.note \"--add-gnu-debuglink=\${symbols}\"
                                    \"\${installed}\" COMMAND_ERROR_IS_FATAL ANY)
        endif()
    endforeach()")
install(FILES ${PROJECT_SOURCE_DIR}/resources/kestroview.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kestroview-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestroview.png)
endforeach()
install(FILES ${kv_pkg}/kestroview.1.gz ${kv_pkg}/kestroview-launcher.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${kv_pkg}/copyright ${kv_pkg}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestroview)
install(FILES ${kv_pkg}/${KV_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestroview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KestroView")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dashboard for an electric vehicle's DC motor controller")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KestroView reads the status lines of an electric vehicle's DC motor
controller on a serial port and draws them as dial gauges, a status panel
and a plot of battery volts against amps, full screen or in a window. It
works out battery current and power, road speed, distance, charge and
energy used, energy per distance, and an estimate of the battery's
open-circuit voltage and internal resistance.
.
Every line received is kept in a capture log and every drive in a trip
log (CSV). kestroview-report turns a trip log into a web page with charts
that opens offline, or into a spreadsheet; kestroview-sim plays the
controller on a pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "${KV_PACKAGE_MAINTAINER}")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# CPack would ask the host's dpkg, which is wrong for a cross build.
if(CMAKE_CROSSCOMPILING)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|amd64)$")
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    else()
        message(FATAL_ERROR "No Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
    endif()
endif()
# The libraries the programs are linked with (each one's package by name; the C library at least
# at the version whose interfaces they use), those SDL loads (OpenGL, Mesa's drivers), and the
# fonts they draw with (found through fontconfig).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6, libgcc-s1, libsdl2-2.0-0, libgtk-3-0, libglib2.0-0, libgdk-pixbuf-2.0-0, libfreetype6, libfontconfig1, libxlsxwriter4, libopengl0, libglu1-mesa, libgl1, libgl1-mesa-dri, fonts-liberation2")
# The report's --open and the desktop entry's "Latest trip report" hand the page to xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
