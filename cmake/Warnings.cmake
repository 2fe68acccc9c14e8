# Every target of ours compiles with warnings as errors and the Qt conveniences we avoid
# switched off, so the rules hold in the libraries, the tools and the tests alike.
add_library(tavrenode_build_flags INTERFACE)
target_compile_options(tavrenode_build_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
target_compile_definitions(tavrenode_build_flags INTERFACE
    QT_NO_CONTEXTLESS_CONNECT QT_NO_FOREACH QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER)

# Hardening, as Debian builds its own packages: checked buffer functions where the code is
# optimised, and a read-only relocation table resolved at start-up.
if(UNIX)
    target_compile_definitions(tavrenode_build_flags INTERFACE
        $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    target_link_options(tavrenode_build_flags INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
