# Packages made with CPack from an installed build: a .deb on Linux (cpack -G DEB); on Windows a zip
# and a setup, both made by the package target (cpack -G ZIP or cpack -G NSIS64 makes one).
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR Quendale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

# Windows: the zip, tarvex-<version>-win64.zip, holds a tarvex-<version>-win64 folder with both
# programs, the help page, the README and the licence. The setup,
# tarvex-<version>-win64-setup.exe, installs the same files per user; its script is
# cmake/NSIS.template.in (found through CMAKE_MODULE_PATH) and cpack_project.cmake names it.
if(WIN32)
    set(CPACK_GENERATOR ZIP NSIS64)
    set(CPACK_PACKAGE_FILE_NAME "tarvex-${PROJECT_VERSION}-win64")
    set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/cpack_project.cmake")
    set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/src/win32/resources/tarvex.ico")
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
