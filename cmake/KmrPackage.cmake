# The Debian package: `cpack -G DEB` in the build folder makes kmr6650_<version>-<revision>_<arch>.deb
# of what `cmake --install` installs, under /usr. Its dependencies are those of the binaries,
# found by dpkg-shlibdeps (package dpkg-dev), and the fonts the windows are drawn with.
# The maintainer and the Debian revision are cache variables of packaging/CMakeLists.txt, which
# writes them into the package's changelog too.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kmr6650)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KMR_PACKAGE_REVISION})
set(CPACK_PACKAGE_CONTACT "${KMR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maintenance tool for the KMR 6650 DSP amplifier")
# Lines of at most 80 characters, as the package's control file wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "Services the KMR 6650 two-output DSP amplifier over its RS-232 line: checks
the connection and the firmware and EQ versions, reads and writes DSP
parameters and memory words, and replaces the DSP system software or the EQ
presets from an update file.
.
kmr6650-tool is the desktop program, kmr6650-cli does the same work in a
terminal, kmr6650-portcheck tells why a serial device cannot be opened, and
kmr6650-sim serves a simulated amplifier on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Release builds carry debug information; the package ships the programs without it.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kmr6650_1.0-1_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs' fonts are mapped to the Liberation fonts, which have the metrics of the fonts
# the dialogs were laid out with, and to DejaVu Sans for Verdana. dpkg-shlibdeps adds the
# libraries' packages to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")
# The completion in share/bash-completion/completions is loaded by that package.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
