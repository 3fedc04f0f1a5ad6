#include "PictureUpload.h"

#include "FileNameRule.h"
#include "PictureCopy.h"
#include "ValueCheck.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace lm {

namespace fs = std::filesystem;

namespace {

std::string labelled(const std::string& name, const std::string& problem) {
    return "「" + std::string(fieldLabel::picture) + "」のファイル「" + name + "」" + problem;
}

// A folder of its own for the picture while it is checked: outside the Exchange folder, which
// every computer reads; gone with the object.
class PrivateFolder {
public:
    PrivateFolder() {
        std::error_code error;
        std::string pattern = (fs::temp_directory_path(error) / "lmsign-upload-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~PrivateFolder() {
        std::error_code error;
        if (!m_path.empty()) {
            fs::remove_all(m_path, error);
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

bool writeWhole(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

PictureUpload::PictureUpload(const ExchangeFolder& exchange, const PictureProbe& inspector)
    : m_exchange(exchange), m_inspector(inspector) {}

PictureUpload::Result PictureUpload::store(const std::string& name, std::string_view bytes) {
    if (std::string problem = problemOf(name, bytes); !problem.empty()) {
        return {false, std::move(problem), false};
    }
    const std::lock_guard lock(m_mutex);
    std::error_code error;
    if (fs::exists(fs::symlink_status(m_exchange.folder() / name, error))) {
        return {false,
                "data フォルダーには、同じ名前の画像「" + name +
                    "」がすでにあります。上書きはしないため、画像のファイル名を変えて下さい。",
                true};
    }
    return copyIn(name, bytes);
}

std::string PictureUpload::problemOf(const std::string& name, std::string_view bytes) const {
    if (std::string problem = fileNameRule::problem(name); !problem.empty()) {
        return problem;
    }
    if (std::string problem = valueProblemWarning(fieldLabel::picture, name); !problem.empty()) {
        return problem;
    }
    if (bytes.size() > largestBytes) {
        return labelled(name, "は 20 MB を超えています。");
    }
    const PictureProbe::Facts facts = m_inspector.inspect(bytes);
    if (facts.format != "jpeg" && facts.format != "bmp" && facts.format != "gif") {
        return labelled(name, "は画像（JPEG、BMP、GIF）ではありません。画像でないファイルは "
                              "data フォルダーにコピーできません。");
    }
    const long long pixels = static_cast<long long>(facts.width) * facts.height;
    if (facts.width <= 0 || facts.height <= 0 || pixels > largestPixels) {
        return labelled(name, "は大きすぎます（" + std::to_string(facts.width) + "×" +
                                  std::to_string(facts.height) +
                                  " 画素）。表示プログラムが読み込めないため、小さくして下さい。");
    }
    return {};
}

PictureUpload::Result PictureUpload::copyIn(const std::string& name, std::string_view bytes) {
    const PrivateFolder folder;
    const fs::path source = folder.path() / name;
    if (folder.path().empty() || !writeWhole(source, bytes)) {
        return {false, labelled(name, "を一時フォルダーに書けません。"), false};
    }
    // The window's own checks and words, on the very file that is copied.
    if (std::string problem = pictureProblemWarning(source.string(), m_exchange);
        !problem.empty()) {
        for (std::size_t at = problem.find(source.string()); at != std::string::npos;
             at = problem.find(source.string())) {
            problem.replace(at, source.string().size(), name);
        }
        return {false, std::move(problem), false};
    }
    if (copyPictureIntoExchange(source.string(), m_exchange) != PictureCopyResult::Copied) {
        return {false, labelled(name, "を data フォルダーにコピーできません。"), false};
    }
    return {true, {}, false};
}

} // namespace lm
