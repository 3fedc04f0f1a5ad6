#include "PictureCopy.h"

#include "ReplacingFile.h"
#include "TextRules.h"

#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace lm {

namespace fs = std::filesystem;

PictureCopyResult copyPictureIntoExchange(std::string_view picturePath,
                                          const ExchangeFolder& exchange) {
    const std::string name = bareName(picturePath);
    if (name.empty() || name == "." || name == "..") {
        return PictureCopyResult::Failed;
    }
    fs::path source{std::string(picturePath)};
    if (source.is_relative()) {
        source = exchange.workDir() / source;
    }
    const fs::path target = exchange.folder() / name;

    std::error_code error;
    if (!fs::is_regular_file(source, error)) {
        return PictureCopyResult::Failed;
    }
    if (fs::equivalent(source, target, error)) {
        return PictureCopyResult::SameFile;
    }
    const int input = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
        return PictureCopyResult::Failed;
    }
    ReplacingFile output(target);
    const bool copied = output.copyFrom(input) && output.commit();
    ::close(input);
    return copied ? PictureCopyResult::Copied : PictureCopyResult::Failed;
}

} // namespace lm
