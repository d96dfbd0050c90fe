#pragma once

#include <QString>

// The PNG frame shown for a video, made by the ffmpeg program of the tools folder (or the one
// on the PATH when the tools folder has none).
class VideoThumbnail {
public:
    // "<video dir>/<base name>_thumbnail.png".
    static QString PathFor(const QString& video_path);
    static QString Program();
    // Runs ffmpeg when the thumbnail is missing; true when it exists afterwards.
    static bool Ensure(const QString& video_path);
};
