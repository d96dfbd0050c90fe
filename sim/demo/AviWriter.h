#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PngWriter;

// Writes uncompressed 24-bit video as an AVI file, which ffmpeg and the desktop's players read.
// Frames are pictures of the size given at the start.
class AviWriter {
public:
    AviWriter(int width, int height, int frames_per_second);

    void AddFrame(const PngWriter& picture);
    std::string Finish() const;

    // The picture as the rows of a bottom-up 24-bit DIB (blue, green, red), each padded to four
    // bytes: the pixel data of an AVI frame and of a BMP file.
    static std::string DibPixels(const PngWriter& picture);
    // The picture as a BMP file.
    static std::string Bmp(const PngWriter& picture);

private:
    std::string MainHeader() const;
    std::string StreamList() const;

    int width_, height_, fps_;
    std::vector<std::string> frames_;
};
