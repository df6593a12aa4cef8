# Installation (cmake --install) and the Debian package (cpack -G DEB).
# Installed, the program finds its help page in share/sonavel and keeps its
# working file in the user's data folder.
include(GNUInstallDirs)

install(TARGETS svltool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET sonavel)
  install(TARGETS sonavel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES app/Help.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/sonavel)
install(FILES packaging/sonavel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The song files' type; Debian's shared-mime-info rebuilds its database from here.
install(FILES packaging/sonavel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME sonavel.xml)
install(FILES ${CMAKE_BINARY_DIR}/generated/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME sonavel.png)
install(FILES ${CMAKE_BINARY_DIR}/generated/icon128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME sonavel.png)

set(CPACK_PACKAGE_NAME sonavel)
set(CPACK_PACKAGE_CONTACT "Sonavel developers <sonavel@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small eight-track audio recorder")
set(CPACK_PACKAGE_DESCRIPTION "Records up to eight tracks from the sound card, imports WAV, \
AIFF, FLAC, Ogg Vorbis, Opus and MP3 files into tracks, and exports the mix as WAV or Ogg \
Vorbis. svltool works on the song files from the command line.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link against, with the versions dpkg-shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Help opens the page in the desktop's browser; the desktop entry's second action
# runs the program on PipeWire's JACK.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, pipewire-jack")
include(CPack)
