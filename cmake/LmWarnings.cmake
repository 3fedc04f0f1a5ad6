# Every target of the project links lm_warnings; warnings are errors.
add_library(lm_warnings INTERFACE)
target_compile_options(lm_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough -Werror)

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
