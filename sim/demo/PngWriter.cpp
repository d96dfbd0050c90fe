#include "sim/demo/PngWriter.h"

#include <zlib.h>

namespace {

void PutU32(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutU32(out, static_cast<uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

}  // namespace

PngWriter::PngWriter(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), 0) {}

void PngWriter::Set(int x, int y, uint32_t rgba) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_)
        pixels_[static_cast<size_t>(y * width_ + x)] = rgba;
}

uint32_t PngWriter::Get(int x, int y) const {
    return pixels_[static_cast<size_t>(y * width_ + x)];
}

std::string PngWriter::Encode() const {
    std::string raw;
    for (int y = 0; y < height_; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width_; ++x) {
            const uint32_t p = Get(x, y);
            raw += {static_cast<char>(p >> 24), static_cast<char>(p >> 16),
                    static_cast<char>(p >> 8), static_cast<char>(p)};
        }
    }
    uLongf size = compressBound(raw.size());
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
              reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9);
    packed.resize(size);

    std::string header;
    PutU32(header, static_cast<uint32_t>(width_));
    PutU32(header, static_cast<uint32_t>(height_));
    header += {8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter choice, no interlace
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", std::string());
    return png;
}
