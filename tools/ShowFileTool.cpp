// lm_showfile SOURCE.utf8 SHOW.txt          writes the show file
// lm_showfile --check SOURCE.utf8 SHOW.txt  fails when the show file is not what SOURCE gives
//
// SOURCE holds the show file's lines in UTF-8, one value per line (11 lines per item), so a
// sample show can be read and changed in any editor.
#include "LineFile.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t linesPerItem = 11;

std::optional<std::vector<std::string>> readUtf8Lines(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

int usage() {
    std::fputs("usage: lm_showfile [--check] SOURCE.utf8 SHOW.txt\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool check = argc == 4 && std::string_view(argv[1]) == "--check";
    if (argc != (check ? 4 : 3)) {
        return usage();
    }
    const char* sourcePath = argv[check ? 2 : 1];
    const char* showPath = argv[check ? 3 : 2];

    const std::optional<std::vector<std::string>> lines = readUtf8Lines(sourcePath);
    if (!lines) {
        std::fprintf(stderr, "lm_showfile: cannot read %s\n", sourcePath);
        return 1;
    }
    if (lines->size() % linesPerItem != 0) {
        std::fprintf(stderr, "lm_showfile: %s has %zu lines, not %zu per item\n", sourcePath,
                     lines->size(), linesPerItem);
        return 1;
    }
    std::string bytes;
    const lm::WriteStatus status = lm::lineFile::encode(*lines, bytes);
    if (status != lm::WriteStatus::Ok) {
        std::fprintf(stderr, "lm_showfile: %s holds a value that cannot travel in a show file\n",
                     sourcePath);
        return 1;
    }

    if (check) {
        const std::optional<std::string> stored = lm::lineFile::readBytes(showPath);
        if (!stored || *stored != bytes) {
            std::fprintf(stderr, "lm_showfile: %s is not what %s gives; regenerate it\n", showPath,
                         sourcePath);
            return 1;
        }
        return 0;
    }
    if (!lm::lineFile::writeBytes(showPath, bytes)) {
        std::fprintf(stderr, "lm_showfile: cannot write %s\n", showPath);
        return 1;
    }
    return 0;
}
