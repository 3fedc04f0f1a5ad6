#pragma once

#include "LineFile.h"

#include <QColor>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <string>

namespace lm::test {

// Creates the folders on the way and writes the bytes.
inline void writeFile(const std::filesystem::path& path, const std::string& bytes = "x") {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A small picture of one colour, in the format its extension names.
inline void writePicture(const std::filesystem::path& path, const QColor& colour = Qt::red,
                         int width = 40, int height = 30) {
    std::filesystem::create_directories(path.parent_path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.save(QString::fromStdString(path.string()));
}

// A 1 x 1 red GIF: Qt reads GIF files but cannot write them.
inline void writeGif(const std::filesystem::path& path) {
    static const unsigned char bytes[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                          0x00, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                          0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                          0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    writeFile(path, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    return lineFile::readBytes(path).value_or(std::string());
}

} // namespace lm::test
