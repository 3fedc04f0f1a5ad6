# Writes a C++ source whose function NAME() returns the files as lm::PageFile values, so that
# the program serves them from its own binary: cmake -DOUT=file.cpp -DNAME=function
# -DHEADER=header.h -DFILES="route|content type|path;..." -P EmbedFiles.cmake
set(body "")
set(list "")
set(index 0)
foreach(entry IN LISTS FILES)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 route)
    list(GET parts 1 type)
    list(GET parts 2 path)
    # A list cannot hold the "; charset" itself.
    if(type MATCHES "^text/")
        string(APPEND type "; charset=utf-8")
    endif()
    file(READ "${path}" bytes HEX)
    string(LENGTH "${bytes}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
    string(APPEND body "const char file${index}[] = {${bytes}};\n")
    string(APPEND list "        {\"${route}\", \"${type}\", std::string(file${index}, ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}.new" "// Made by cmake/EmbedFiles.cmake from the page's files: edit those, not this.
#include \"${HEADER}\"

namespace lm {

namespace {

${body}
} // namespace

std::vector<PageFile> ${NAME}() {
    return {
${list}    };
}

} // namespace lm
")
# Rewritten only when it changed, so that nothing is compiled again for nothing.
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
