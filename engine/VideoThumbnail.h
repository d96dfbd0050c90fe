#pragma once

#include <QString>

// The PNG frame shown for a video, grabbed at 0.2 s by the ffmpeg program of the tools folder
// beside the program (or the one on the PATH when the tools folder has none).
class VideoThumbnail {
public:
    // "<video dir>/<base name>_thumbnail.png".
    static QString PathFor(const QString& video_path);
    static QString Program();
    // Writes the frame of `video_path` to `png_path`, waiting up to 30 s for the tool; true when
    // a whole PNG is there afterwards. Success is judged by the PNG alone: ffmpeg 5 exits with 1
    // on this command line although it wrote the frame.
    static bool Make(const QString& video_path, const QString& png_path);
    // Make for PathFor(video_path) unless that thumbnail is there already.
    static bool Ensure(const QString& video_path);
    // A complete PNG file: its signature and the closing IEND chunk.
    static bool IsPng(const QString& path);
};
