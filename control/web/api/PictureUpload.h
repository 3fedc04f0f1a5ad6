#pragma once

#include "ExchangeFolder.h"
#include "PictureProbe.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace lm {

// A picture sent through the web API into the Exchange folder, by the rules that pictures
// from show files and the window follow (a JPEG, BMP or GIF by its header, never a reserved
// name, copied through a temporary file), and those of the network: a name that is bare and
// encodable in code page 932, at most 20 MB, dimensions within the displays' decoder limit,
// and never over a picture of the same name. Runs on the server's thread, never the desk's:
// a large copy must not hold the show's timers up.
class PictureUpload {
public:
    static constexpr std::size_t largestBytes = 20 * 1024 * 1024;
    // What the display's decoder may allocate for one picture (Qt's own default, 256 MB), at
    // 4 bytes a pixel.
    static constexpr long long largestPixels = 256LL * 1024 * 1024 / 4;

    struct Result {
        bool stored = false;
        // Why not, in the words of the window's warnings.
        std::string refusal;
        bool exists = false; // refused since a picture of that name is there
    };

    PictureUpload(const ExchangeFolder& exchange, const PictureProbe& inspector);

    Result store(const std::string& name, std::string_view bytes);

private:
    std::string problemOf(const std::string& name, std::string_view bytes) const;
    Result copyIn(const std::string& name, std::string_view bytes);

    const ExchangeFolder& m_exchange;
    const PictureProbe& m_inspector;
    // One upload at a time: the check for a picture of the same name holds until its copy.
    std::mutex m_mutex;
};

} // namespace lm
