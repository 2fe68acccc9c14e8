# Packages made by CPack (cmake --build BUILD --target package): on Windows an installer, on
# Linux a Debian package.
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
    # The installer and the uninstaller show the tool's icon; the Start menu's entries take
    # theirs from the programs they start.
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/icons/tavrenode-config.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/icons/tavrenode-config.ico)
    # The Start menu: the tool, and its help page.
    set(CPACK_PACKAGE_EXECUTABLES tavrenode-config "Tavrenode Config")
    set(CPACK_NSIS_MENU_LINKS tavrenode-config.html "Tavrenode Config Help")
    # Installing again over an older version removes that first.
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
elseif(UNIX)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    # tavrenode-config_1.0.0.1_amd64.deb
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION comm)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavrenode Config developers <config@tavrenode.example>")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tavrenode.example/config)
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for Tavrenode Bluetooth modules")
    # Lines of at most 80 characters, for the terminals apt shows it on.
    set(CPACK_PACKAGE_DESCRIPTION [=[
A form that holds every setting of a Tavrenode Bluetooth serial-port module
(status pin, baud rate, device type and Class of Device, name, pairing prefix,
PIN, mating, security and role) and writes them to a module linked over
Bluetooth (/dev/rfcommN).

Also included: tavrenode-prog, the same programming from the command line for
one module or a production line, and tavrenode-sim, a simulated module on a
pseudo-terminal.]=])
    # The libraries' packages as dpkg-shlibdeps finds them; by hand the plugins no program
    # links: Qt's X11 platform plugin, and Qt SQL's SQLite driver for tavrenode-prog's
    # ledger file. rfcomm (bluez) makes the serial device; xdg-utils opens the help page in
    # the desktop's browser; the PostgreSQL driver serves a ledger shared by several PCs;
    # Qt's Wayland plugin lets the window run on a Wayland session without XWayland.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bluez, xdg-utils, libqt6sql6-psql, qt6-wayland")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_STRIP_FILES ON)
endif()

include(CPack)
