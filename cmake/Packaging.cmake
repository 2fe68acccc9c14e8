# Packages made by CPack (cmake --build BUILD --target package): on Windows an installer.
set(CPACK_PACKAGE_NAME tavrenode-config)
set(CPACK_PACKAGE_VENDOR "Tavrenode")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tavrenode Config")
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
    # Debian's nsis package builds Windows installers on Linux too.
    set(CPACK_GENERATOR NSIS)
    set(CPACK_PACKAGE_FILE_NAME tavrenode-config-${PROJECT_VERSION}-win64)
    set(CPACK_NSIS_PACKAGE_NAME "Tavrenode Config")
    set(CPACK_NSIS_DISPLAY_NAME "Tavrenode Config ${PROJECT_VERSION}")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    # The programs without their symbols: about half their size.
    set(CPACK_STRIP_FILES ON)
    # A 64-bit installer for a 64-bit program (NSIS makes 32-bit ones unless told). CPack's
    # script has no place of its own for it; the line after the compressor's is early enough.
    set(CPACK_NSIS_COMPRESSOR "lzma\n  Target amd64-unicode")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    set(CPACK_NSIS_INSTALLED_ICON_NAME tavrenode-config.exe)
    # The Start menu: the tool, and its help page.
    set(CPACK_PACKAGE_EXECUTABLES tavrenode-config "Tavrenode Config")
    set(CPACK_NSIS_MENU_LINKS tavrenode-config.html "Tavrenode Config Help")
    # Installing again over an older version removes that first.
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
endif()

include(CPack)
