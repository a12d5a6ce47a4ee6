# Installing and packaging.
#
# The program, its watchdog helper and the data files it reads stay together
# in one folder of their own, exactly as in the build tree's bin/: the program
# looks for all of them next to its executable (the resolved path, so a link
# to it works). bin/quillon is a relative link to the program there. The
# desktop entry, the AppStream metadata and the icon go where desktops look
# for them.
include(GNUInstallDirs)
# "make install" and cpack take what is built instead of building every
# target (tests and benchmarks included) first: build quillon, then install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QUILLON_PROGRAM_DIR "lib/quillon" CACHE STRING
  "Folder, relative to the install prefix, for the program and its data files")

install(TARGETS quillon quillon-toolwatch RUNTIME DESTINATION ${QUILLON_PROGRAM_DIR})
# The same files completion/sources.cmake copies next to the executable.
install(FILES
  ${CMAKE_SOURCE_DIR}/completion/data/JDK1.3.1TreeSorted.txt
  ${CMAKE_SOURCE_DIR}/completion/data/GenerateObjectTreeHelp.txt
  ${CMAKE_SOURCE_DIR}/completion/generator/GenerateObjectTree.java
  DESTINATION ${QUILLON_PROGRAM_DIR})

file(RELATIVE_PATH quillon_link_target /prefix/${CMAKE_INSTALL_BINDIR}
  /prefix/${QUILLON_PROGRAM_DIR}/quillon)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ${quillon_link_target} ${CMAKE_BINARY_DIR}/packaging/quillon SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/quillon DESTINATION ${CMAKE_INSTALL_BINDIR})

# The application's id (reverse domain name of its web page) names the
# desktop entry and the metadata; main.cpp gives Qt the same name.
set(quillon_app_id org.example.quillon)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${quillon_app_id}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${quillon_app_id}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(quillon_icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/quillon.svg
  DESTINATION ${quillon_icons}/scalable/apps)
foreach(size 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/quillon-${size}.png
    DESTINATION ${quillon_icons}/${size}x${size}/apps RENAME quillon.png)
endforeach()

# cpack -G DEB: a package for Debian bookworm. The shared libraries' packages
# come from dpkg-shlibdeps; the rest is what the program uses at run time:
# Qt's X11 window-system plugin (without Qt's Wayland plugin, which is only
# suggested, a Wayland desktop shows the window through XWayland), a Java kit
# for the Tools menu, and the icon themes of the toolbar pictures and of the
# application icon.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_CONTACT "The Quillon developers <quillon-feedback@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for Java source files")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillon is a desktop editor for Java source files. It colours the source\n"
  "as you type, indents it, completes class and member names from a tree of\n"
  "the Java class library, and compiles, runs and packs the program with the\n"
  "Java development kit.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillon.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, default-jdk-headless | java-sdk-headless, adwaita-icon-theme, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland, openjdk-17-source, x-terminal-emulator")
include(CPack)
