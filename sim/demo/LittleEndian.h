#pragma once

#include <cstdint>
#include <string>

// Numbers as RIFF files (WAV, AVI) and BMP files store them: least significant byte first.
namespace little_endian {

inline void PutU16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}

inline void PutU32(std::string& out, uint32_t value) {
    PutU16(out, value & 0xffff);
    PutU16(out, value >> 16);
}

}  // namespace little_endian
