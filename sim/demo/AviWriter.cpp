#include "sim/demo/AviWriter.h"

#include "sim/demo/LittleEndian.h"
#include "sim/demo/PngWriter.h"

namespace {

using little_endian::PutU16;
using little_endian::PutU32;

std::string Chunk(const char* id, const std::string& data) {
    std::string out(id, 4);
    PutU32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2)
        out.push_back('\0');
    return out;
}

std::string List(const char* type, const std::string& data) {
    return Chunk("LIST", std::string(type, 4) + data);
}

// BITMAPINFOHEADER of a bottom-up 24-bit picture.
std::string BitmapInfo(int width, int height, uint32_t image_size) {
    std::string info;
    PutU32(info, 40);
    PutU32(info, static_cast<uint32_t>(width));
    PutU32(info, static_cast<uint32_t>(height));
    PutU16(info, 1);   // planes
    PutU16(info, 24);  // bits per pixel
    PutU32(info, 0);   // BI_RGB: not compressed
    PutU32(info, image_size);
    for (int i = 0; i < 4; ++i)
        PutU32(info, 0);  // resolution, palette
    return info;
}

uint32_t FrameBytes(int width, int height) {
    return static_cast<uint32_t>((width * 3 + 3) / 4 * 4 * height);
}

}  // namespace

AviWriter::AviWriter(int width, int height, int frames_per_second)
    : width_(width), height_(height), fps_(frames_per_second) {}

void AviWriter::AddFrame(const PngWriter& picture) {
    frames_.push_back(DibPixels(picture));
}

std::string AviWriter::DibPixels(const PngWriter& picture) {
    const int stride = (picture.Width() * 3 + 3) / 4 * 4;
    std::string pixels;
    pixels.reserve(static_cast<size_t>(stride * picture.Height()));
    for (int y = picture.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const uint32_t rgba = picture.Get(x, y);
            pixels.push_back(static_cast<char>((rgba >> 8) & 0xff));
            pixels.push_back(static_cast<char>((rgba >> 16) & 0xff));
            pixels.push_back(static_cast<char>(rgba >> 24));
        }
        pixels.append(static_cast<size_t>(stride - picture.Width() * 3), '\0');
    }
    return pixels;
}

std::string AviWriter::Bmp(const PngWriter& picture) {
    const std::string pixels = DibPixels(picture);
    const uint32_t offset = 14 + 40;
    std::string bmp = "BM";
    PutU32(bmp, offset + static_cast<uint32_t>(pixels.size()));
    PutU32(bmp, 0);
    PutU32(bmp, offset);
    bmp += BitmapInfo(picture.Width(), picture.Height(), static_cast<uint32_t>(pixels.size()));
    return bmp + pixels;
}

std::string AviWriter::MainHeader() const {
    std::string avih;
    PutU32(avih, static_cast<uint32_t>(1000000 / fps_));
    PutU32(avih, FrameBytes(width_, height_) * static_cast<uint32_t>(fps_));
    PutU32(avih, 0);
    PutU32(avih, 0x10);  // AVIF_HASINDEX
    PutU32(avih, static_cast<uint32_t>(frames_.size()));
    PutU32(avih, 0);
    PutU32(avih, 1);  // streams
    PutU32(avih, FrameBytes(width_, height_));
    PutU32(avih, static_cast<uint32_t>(width_));
    PutU32(avih, static_cast<uint32_t>(height_));
    for (int i = 0; i < 4; ++i)
        PutU32(avih, 0);
    return Chunk("avih", avih);
}

std::string AviWriter::StreamList() const {
    std::string strh = "vidsDIB ";
    PutU32(strh, 0);  // flags
    PutU32(strh, 0);  // priority, language
    PutU32(strh, 0);  // initial frames
    PutU32(strh, 1);  // scale
    PutU32(strh, static_cast<uint32_t>(fps_));
    PutU32(strh, 0);  // start
    PutU32(strh, static_cast<uint32_t>(frames_.size()));
    PutU32(strh, FrameBytes(width_, height_));
    PutU32(strh, 0xffffffff);  // quality: default
    PutU32(strh, 0);           // sample size: one frame per chunk
    PutU16(strh, 0);
    PutU16(strh, 0);
    PutU16(strh, static_cast<uint32_t>(width_));
    PutU16(strh, static_cast<uint32_t>(height_));
    return List("strl",
                Chunk("strh", strh) +
                    Chunk("strf", BitmapInfo(width_, height_, FrameBytes(width_, height_))));
}

std::string AviWriter::Finish() const {
    std::string movi = "movi";
    std::string index;
    for (const std::string& frame : frames_) {
        // Offsets count from the "movi" tag.
        index += "00db";
        PutU32(index, 0x10);  // key frame
        PutU32(index, static_cast<uint32_t>(movi.size()));
        PutU32(index, static_cast<uint32_t>(frame.size()));
        movi += Chunk("00db", frame);
    }
    const std::string header = List("hdrl", MainHeader() + StreamList());
    std::string riff = "AVI ";
    riff += header;
    riff += Chunk("LIST", movi);
    riff += Chunk("idx1", index);
    return Chunk("RIFF", riff);
}
