# What `cmake --install` puts where, and the Debian package made from it by CPack.
include(GNUInstallDirs)

install(TARGETS kestroview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestroview-sim)
    install(TARGETS kestroview-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/docs/man/kestroview-sim.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(TARGETS kestroview-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/kestroview-report.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/kestroview-launcher
        DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/kestroview.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kestroview-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestroview.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/kestroview.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestroview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KestroView")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dashboard for an electric vehicle's DC motor controller")
set(CPACK_PACKAGE_CONTACT "KestroView developers <kestroview@localhost>")
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
