#pragma once

#include <cstdint>
#include <string>

// Pictures, sounds and video made by the simulator itself: avatars and the demo attachments.
namespace sample_pictures {

// A round-shouldered figure on a colour chosen by the id; groups get three figures.
std::string Avatar(int64_t id, bool group);
// A landscape-like picture, for image messages.
std::string Landscape();
// A group photograph of a few MB, as a BMP file.
std::string ClassPhoto();
// A short video of a ball bouncing over a hill while the sun crosses the sky, as an AVI file.
std::string Clip(int seconds);
// A short tone as a 16-bit mono WAV file.
std::string Tone(int seconds);
// The play time of a WAV file in whole seconds, -1 when the data is not a WAV file.
int WavSeconds(const std::string& data);
// Demo attachment content chosen by the file's suffix.
std::string ForFile(const std::string& name);

}  // namespace sample_pictures
