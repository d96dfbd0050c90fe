#include "sim/demo/SamplePictures.h"

#include "sim/demo/PngWriter.h"
#include "sim/http/TextUtil.h"

#include <cmath>

namespace sample_pictures {
namespace {

const uint32_t kPalette[] = {0x4a90d9ff, 0xe67e22ff, 0x27ae60ff, 0x8e44adff,
                             0xc0392bff, 0x16a085ff, 0xd35400ff, 0x2c3e50ff};

uint32_t Lighter(uint32_t rgba) {
    const auto mix = [](uint32_t c) { return (c + 255 * 2) / 3; };
    return mix(rgba >> 24) << 24 | mix((rgba >> 16) & 0xff) << 16 | mix((rgba >> 8) & 0xff) << 8 |
           0xff;
}

void Ellipse(PngWriter& png, double cx, double cy, double rx, double ry, uint32_t rgba) {
    for (int y = 0; y < png.Height(); ++y) {
        for (int x = 0; x < png.Width(); ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0)
                png.Set(x, y, rgba);
        }
    }
}

void Figure(PngWriter& png, double cx, double scale, uint32_t rgba) {
    const double size = png.Width();
    Ellipse(png, cx, size * 0.38, size * 0.18 * scale, size * 0.18 * scale, rgba);
    Ellipse(png, cx, size * 1.02, size * 0.36 * scale, size * 0.38 * scale, rgba);
}

void PutU16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}

void PutU32(std::string& out, uint32_t value) {
    PutU16(out, value & 0xffff);
    PutU16(out, value >> 16);
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
    const uint32_t background = kPalette[static_cast<uint64_t>(id < 0 ? -id : id) % 8];
    Ellipse(png, size / 2.0, size / 2.0, size, size, background);
    const uint32_t figure = Lighter(background);
    if (group) {
        Figure(png, size * 0.27, 0.6, figure);
        Figure(png, size * 0.73, 0.6, figure);
        Figure(png, size * 0.5, 0.75, 0xffffffff);
    } else {
        Figure(png, size / 2.0, 1.0, figure);
    }
    return png.Encode();
}

std::string Landscape() {
    const int width = 320, height = 200;
    PngWriter png(width, height);
    for (int y = 0; y < height; ++y) {
        const auto blue = static_cast<uint32_t>(255 - y / 2);
        for (int x = 0; x < width; ++x)
            png.Set(x, y, (120u + y / 3) << 24 | (170u + y / 4) << 16 | blue << 8 | 0xff);
    }
    Ellipse(png, 250, 50, 24, 24, 0xf7d348ff);
    for (int x = 0; x < width; ++x) {
        const int hill = static_cast<int>(130 + 25 * std::sin(x / 40.0) + 10 * std::sin(x / 13.0));
        for (int y = hill; y < height; ++y)
            png.Set(x, y, y < 160 ? 0x3f9b4bff : 0x6b8e23ff);
    }
    return png.Encode();
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
    return "演示文件「" + name +
           "」\r\n\r\n"
           "一、时间：下周三至周五\r\n"
           "二、地点：各班教室\r\n"
           "三、要求：请各位老师按时到岗，认真履行职责。\r\n";
}

}  // namespace sample_pictures
