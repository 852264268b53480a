# The Debian package: `cpack -G DEB` in the build folder writes
# dzq_<version>-<release>_<arch>.deb with what the installation above holds
# by default, under /usr, with the Debian changelog for the licence text
# (the copyright file names the system's copy). The libraries it needs are
# found from the program itself (dpkg-shlibdeps); the sound font, the
# Chinese fonts and Qt's Chinese texts are named here, since no library
# link shows them.
set(CPACK_PACKAGE_NAME dzq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_CONTACT "The Quorvane developers <quorvane@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop electronic keyboard (Quorvane 电子琴)")
set(CPACK_PACKAGE_DESCRIPTION
  "The computer keyboard and the mouse play General MIDI voices through the\n"
  "built-in FluidSynth synthesizer or an external MIDI port, with rhythms,\n"
  "chords, special effects, a text score written down while playing, a wave\n"
  "recorder and a music editor. The interface is in simplified Chinese.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/"
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The packaging's own revision: the first package of an upstream version is 1.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvane.com/dzq/")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fluid-soundfont-gm | timgm6mb-soundfont, fonts-wqy-microhei, qt6-translations-l10n")
# The farewell window's brush face.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-arphic-ukai")

include(CPack)
