# TAVRENODE_SANITIZE: build everything with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report ends the process with an error, so a test that triggers one fails.
# TAVRENODE_FUZZ: build the libFuzzer targets (clang only); implies the sanitizers.
option(TAVRENODE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TAVRENODE_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(TAVRENODE_SANITIZE OR TAVRENODE_FUZZ)
    set(sanitizers address,undefined)
    add_compile_options(-fsanitize=${sanitizers} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${sanitizers})
endif()
if(TAVRENODE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TAVRENODE_FUZZ needs clang (CXX=clang++)")
    endif()
    # Coverage feedback from every library the fuzz targets reach.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
