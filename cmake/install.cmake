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
# The libraries the program loads, and the fonts it draws with (found through fontconfig).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-2.0-0, libgtk-3-0, libfreetype6, libfontconfig1, libglu1-mesa, libgl1, libgl1-mesa-dri, fonts-liberation2")
# The report's --open and the desktop entry's "Latest trip report" hand the page to xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
