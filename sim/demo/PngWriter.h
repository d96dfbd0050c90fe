#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes an 8-bit RGBA picture as a PNG file.
class PngWriter {
public:
    PngWriter(int width, int height);

    void Set(int x, int y, uint32_t rgba);
    uint32_t Get(int x, int y) const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::string Encode() const;

private:
    int width_, height_;
    std::vector<uint32_t> pixels_;
};
