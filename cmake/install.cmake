# Installation and the Debian package. `cmake --install build` puts the
# programs, the fontconfig alias, the help, the desktop entry, the icons, the
# man pages and the sample site in the usual places under the prefix; CPack
# turns the same set into a .deb.
include(GNUInstallDirs)

if(TARGET velmoran)
  install(TARGETS velmoran RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET velmoran-cli)
  install(TARGETS velmoran-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The MS font names of the window resolve to the IPA fonts.
install(FILES ${CMAKE_SOURCE_DIR}/ui/fonts/velmoran-fonts.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fontconfig/conf.avail
        RENAME 65-velmoran-fonts.conf)
install(CODE "
  set(dir \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_SYSCONFDIR}/fonts/conf.d\")
  file(MAKE_DIRECTORY \"\${dir}\")
  file(CREATE_LINK \"${CMAKE_INSTALL_FULL_DATADIR}/fontconfig/conf.avail/65-velmoran-fonts.conf\"
       \"\${dir}/65-velmoran-fonts.conf\" SYMBOLIC)
")

# The program finds its shared files (help) under share/velmoran; the
# folder also marks an installed program, whose settings go to the user's
# folder.
if(EXISTS ${CMAKE_SOURCE_DIR}/help)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/velmoran/help)
else()
  install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/velmoran)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/velmoran.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
if(EXISTS ${CMAKE_SOURCE_DIR}/ui/icons/velmoran.svg)
  install(FILES ${CMAKE_SOURCE_DIR}/ui/icons/velmoran.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
foreach(size 16 32 48 64 128 256)
  if(EXISTS ${CMAKE_SOURCE_DIR}/ui/icons/velmoran-${size}.png)
    install(FILES ${CMAKE_SOURCE_DIR}/ui/icons/velmoran-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME velmoran.png)
  endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/docs/man/velmoran.1 ${CMAKE_SOURCE_DIR}/docs/man/velmoran-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Debian package -------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmoran)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmoran developers <velmoran@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "weigh web pages kept on the local disk")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmoran reads an HTML file or a folder, finds every resource each page
pulls in, follows links to further local pages, and for every page adds up
the bytes of the HTML and its distinct resources, the load time at a chosen
line speed, the resource count and the problems (missing files, links out
of the root folder). Pages in JIS, EUC and Shift-JIS are read alike.
.
This package holds the Qt window (velmoran) and the command-line twin
(velmoran-cli).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmoran.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The shared-library dependencies come from dpkg-shlibdeps; the fonts, the
# launcher, the offscreen/xcb platform plugins and Qt's own Japanese texts
# (file dialogs, standard buttons) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic, fonts-ipafont-mincho, fontconfig, xdg-utils")
include(CPack)
