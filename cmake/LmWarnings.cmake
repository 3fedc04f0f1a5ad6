# Every target of the project links lm_warnings; warnings are errors.
add_library(lm_warnings INTERFACE)
target_compile_options(lm_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough -Werror)

# GCC 12 at -O3 reports overlaps that cannot happen in "text" + std::to_string(n)
# (GCC bug 105651); the warning is off there and stays on everywhere else.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(lm_warnings INTERFACE -Wno-restrict)
endif()

if(LM_SANITIZE)
    target_compile_options(lm_warnings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(lm_warnings INTERFACE -fsanitize=address,undefined)
endif()

if(LM_FUZZ)
    # Coverage for libFuzzer in every library; the fuzz targets add the fuzzer's main.
    target_compile_options(lm_warnings INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_link_options(lm_warnings INTERFACE -fsanitize=address,undefined)
endif()
