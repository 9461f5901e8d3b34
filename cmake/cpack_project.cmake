# Read by cpack once per generator: the setup is named apart from the zip.
if(CPACK_GENERATOR MATCHES "^NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
