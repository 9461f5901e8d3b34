# Packages made with CPack from an installed build: a .deb on Linux (cpack -G DEB), a zip on Windows
# (cpack -G ZIP).
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR Quendale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

# Windows: one zip, tarvex-<version>-win64.zip, holding a tarvex-<version>-win64 folder with both
# programs, the help page, the README and the licence.
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "tarvex-${PROJECT_VERSION}-win64")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quendale")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Designers draw transistors with placeholder models (MODxyN, MODxyP); Tarvex
rewrites the netlist so that every placeholder gets the part name of the
geometry bin its L= and W= fall into, keeping the original as a .ant backup.
This package holds the window (tarvex) and the command-line tool (tarvex-cli).")
# dpkg-shlibdeps names the libraries' packages; Qt's X11 platform plugin is loaded at run time, so it
# is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")

include(CPack)
