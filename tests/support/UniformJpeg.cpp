#include "UniformJpeg.h"

#include <cstdint>

namespace lm::test {

namespace {

void putWord(std::string& bytes, int value) {
    bytes += static_cast<char>((value >> 8) & 0xFF);
    bytes += static_cast<char>(value & 0xFF);
}

void putMarker(std::string& bytes, std::uint8_t marker) {
    bytes += '\xFF';
    bytes += static_cast<char>(marker);
}

// A Huffman table holding one symbol, 0, coded as the single bit 0.
void putOneSymbolTable(std::string& bytes, std::uint8_t classAndId) {
    putMarker(bytes, 0xC4);
    putWord(bytes, 2 + 1 + 16 + 1);
    bytes += static_cast<char>(classAndId);
    bytes += '\x01';
    bytes.append(15, '\0');
    bytes += '\0';
}

} // namespace

std::string uniformGreyJpeg(int width, int height) {
    std::string bytes;
    putMarker(bytes, 0xD8); // start of image

    putMarker(bytes, 0xDB); // quantisation table 0: all ones
    putWord(bytes, 2 + 1 + 64);
    bytes += '\0';
    bytes.append(64, '\x01');

    putMarker(bytes, 0xC0); // baseline frame, one grey component, no subsampling
    putWord(bytes, 2 + 6 + 3);
    bytes += '\x08';
    putWord(bytes, height);
    putWord(bytes, width);
    bytes += '\x01';
    bytes += "\x01\x11";
    bytes += '\0';

    putOneSymbolTable(bytes, 0x00); // DC: difference category 0
    putOneSymbolTable(bytes, 0x10); // AC: end of block at once

    putMarker(bytes, 0xDA); // scan of the one component
    putWord(bytes, 2 + 1 + 2 + 3);
    bytes += '\x01';
    bytes += '\x01';
    bytes += '\0';
    bytes += '\0';
    bytes += '\x3F';
    bytes += '\0';

    // Every block: DC difference 0 (bit 0), end of block (bit 0). The last byte is padded
    // with one bits, as the format asks.
    const std::uint64_t blocks =
        static_cast<std::uint64_t>((width + 7) / 8) * static_cast<std::uint64_t>((height + 7) / 8);
    const std::uint64_t bits = blocks * 2;
    bytes.append(bits / 8, '\0');
    if (const auto rest = static_cast<int>(bits % 8); rest != 0) {
        bytes += static_cast<char>(0xFF >> rest);
    }

    putMarker(bytes, 0xD9); // end of image
    return bytes;
}

} // namespace lm::test
