#include "sim/demo/SamplePictures.h"

#include "sim/demo/AviWriter.h"
#include "sim/demo/LittleEndian.h"
#include "sim/demo/PngWriter.h"
#include "sim/http/TextUtil.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace sample_pictures {
namespace {

using little_endian::PutU16;
using little_endian::PutU32;

// Twelve colours, so that the ten teachers of a school with consecutive ids all differ.
const uint32_t kPalette[] = {0x4a90d9ff, 0xe67e22ff, 0x27ae60ff, 0x8e44adff,
                             0xc0392bff, 0x16a085ff, 0xd35400ff, 0x2c3e50ff,
                             0xd4a017ff, 0x2e86c1ff, 0xc2185bff, 0x6d8b3fff};
const uint64_t kColours = sizeof(kPalette) / sizeof(kPalette[0]);

uint32_t Lighter(uint32_t rgba) {
    const auto mix = [](uint32_t c) { return (c + 255 * 2) / 3; };
    return mix(rgba >> 24) << 24 | mix((rgba >> 16) & 0xff) << 16 | mix((rgba >> 8) & 0xff) << 8 |
           0xff;
}

// Filled, and cut off below `lowest` (a row).
void Ellipse(PngWriter& png, double cx, double cy, double rx, double ry, uint32_t rgba,
             int lowest = INT_MAX) {
    const int top = std::max(0, static_cast<int>(cy - ry));
    const int bottom = std::min({png.Height() - 1, static_cast<int>(cy + ry) + 1, lowest});
    const int left = std::max(0, static_cast<int>(cx - rx));
    const int right = std::min(png.Width() - 1, static_cast<int>(cx + rx) + 1);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0)
                png.Set(x, y, rgba);
        }
    }
}

// A head and shoulders `size` pixels wide, standing on `foot_y`.
void Figure(PngWriter& png, double cx, double foot_y, double size, uint32_t rgba) {
    Ellipse(png, cx, foot_y - size * 0.64, size * 0.18, size * 0.18, rgba);
    Ellipse(png, cx, foot_y, size * 0.36, size * 0.38, rgba, static_cast<int>(foot_y));
}

// Sky, sun and green hills, drawn to the picture's size; the sun at `sun` (0 left, 1 right).
void Scenery(PngWriter& png, double sun) {
    const int width = png.Width(), height = png.Height();
    for (int y = 0; y < height; ++y) {
        const double v = static_cast<double>(y) / height;
        const auto red = static_cast<uint32_t>(120 + 66 * v);
        const auto green = static_cast<uint32_t>(170 + 50 * v);
        const auto blue = static_cast<uint32_t>(255 - 100 * v);
        for (int x = 0; x < width; ++x)
            png.Set(x, y, red << 24 | green << 16 | blue << 8 | 0xff);
    }
    const double sun_y = height * (0.25 + 0.2 * std::abs(sun - 0.5));
    Ellipse(png, width * (0.1 + 0.8 * sun), sun_y, height * 0.12, height * 0.12, 0xf7d348ff);
    for (int x = 0; x < width; ++x) {
        const double u = x * 320.0 / width;
        const int hill = static_cast<int>(
            height * (0.65 + 0.125 * std::sin(u / 40.0) + 0.05 * std::sin(u / 13.0)));
        for (int y = std::max(hill, 0); y < height; ++y)
            png.Set(x, y, y < height * 0.8 ? 0x3f9b4bff : 0x6b8e23ff);
    }
}

uint32_t ReadU32(const std::string& data, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[at + static_cast<size_t>(i)]);
    return value;
}

}  // namespace

std::string Avatar(int64_t id, bool group) {
    const int size = 96;
    PngWriter png(size, size);
    const uint32_t background = kPalette[static_cast<uint64_t>(id < 0 ? -id : id) % kColours];
    Ellipse(png, size / 2.0, size / 2.0, size, size, background);
    const uint32_t figure = Lighter(background);
    if (group) {
        Figure(png, size * 0.27, size * 1.02, size * 0.6, figure);
        Figure(png, size * 0.73, size * 1.02, size * 0.6, figure);
        Figure(png, size * 0.5, size * 1.02, size * 0.75, 0xffffffff);
    } else {
        Figure(png, size / 2.0, size * 1.02, size, figure);
    }
    return png.Encode();
}

std::string Landscape() {
    PngWriter png(320, 200);
    Scenery(png, 0.85);
    return png.Encode();
}

std::string ClassPhoto() {
    const int width = 1280, height = 800;
    PngWriter png(width, height);
    Scenery(png, 0.7);
    // Three rows of people, the back row higher and smaller, in shirts of the palette.
    for (int row = 0; row < 3; ++row) {
        const double size = 100 + 30 * row;
        const int people = 9 - row;
        for (int i = 0; i < people; ++i) {
            const double x = width * (i + 0.5 + (row % 2) * 0.25) / (people + 0.25);
            Figure(png, x, height * (0.62 + 0.17 * row), size, kPalette[(i + row * 3) % 8]);
        }
    }
    return AviWriter::Bmp(png);
}

std::string Clip(int seconds) {
    const int width = 224, height = 168, fps = 10;
    AviWriter avi(width, height, fps);
    const int frames = seconds * fps;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frames;
        PngWriter frame(width, height);
        Scenery(frame, t);
        // A ball bouncing over the grass, and how far the clip has played.
        const double bounce = std::abs(std::sin(t * M_PI * 3));
        Ellipse(frame, width * (0.15 + 0.7 * t), height * (0.85 - 0.35 * bounce), 9, 9, 0xe67e22ff);
        for (int x = 0; x < static_cast<int>(width * (i + 1) / frames); ++x) {
            for (int y = height - 4; y < height; ++y)
                frame.Set(x, y, 0xffffffff);
        }
        avi.AddFrame(frame);
    }
    return avi.Finish();
}

std::string Tone(int seconds) {
    const uint32_t rate = 8000;
    const uint32_t samples = rate * static_cast<uint32_t>(seconds);
    std::string wav = "RIFF";
    PutU32(wav, 36 + samples * 2);
    wav += "WAVEfmt ";
    PutU32(wav, 16);
    PutU16(wav, 1);  // PCM
    PutU16(wav, 1);  // mono
    PutU32(wav, rate);
    PutU32(wav, rate * 2);
    PutU16(wav, 2);
    PutU16(wav, 16);
    wav += "data";
    PutU32(wav, samples * 2);
    for (uint32_t i = 0; i < samples; ++i) {
        const double fade = std::min(1.0, std::min(i, samples - i) / 400.0);
        const double value = 8000 * fade * std::sin(2 * M_PI * 440 * i / rate);
        PutU16(wav, static_cast<unsigned>(static_cast<int16_t>(value)) & 0xffff);
    }
    return wav;
}

int WavSeconds(const std::string& data) {
    if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WAVE") != 0)
        return -1;
    uint32_t byte_rate = 0;
    for (size_t at = 12; at + 8 <= data.size();) {
        const std::string id = data.substr(at, 4);
        const uint32_t size = ReadU32(data, at + 4);
        if (id == "fmt " && at + 16 <= data.size())
            byte_rate = ReadU32(data, at + 16);
        if (id == "data" && byte_rate > 0)
            return static_cast<int>((size + byte_rate / 2) / byte_rate);
        at += 8 + size + (size & 1);
    }
    return -1;
}

std::string ForFile(const std::string& name) {
    const std::string suffix = text_util::SafeSuffix(name);
    if (suffix == "png" || suffix == "jpg" || suffix == "jpeg")
        return Landscape();
    if (suffix == "wav")
        return Tone(3);
    if (suffix == "avi")
        return Clip(3);
    if (suffix == "bmp")
        return ClassPhoto();
    return "演示文件「" + name +
           "」\r\n\r\n"
           "一、时间：下周三至周五\r\n"
           "二、地点：各班教室\r\n"
           "三、要求：请各位老师按时到岗，认真履行职责。\r\n";
}

}  // namespace sample_pictures
