#pragma once

#include <QImage>
#include <QString>

// Files the conversation page writes into the temporary folder for what is pasted: clipboard
// pictures and video thumbnails.
class PasteFiles {
public:
    // "<dir>/<base>.<suffix>", or "<dir>/<base>_<n>.<suffix>" with the first n that is free.
    static QString UniquePath(const QString& dir, const QString& base, const QString& suffix);
    // The picture saved as "<temporary folder>/<seconds since 1970>.png"; empty on failure.
    static QString SaveImage(const QImage& image);
    // A PNG of the frame at 0.2 s, "<temporary folder>/<video base name>_<seconds>.png"; a
    // blank 360x480 picture when the frame cannot be had.
    static QString VideoThumbnail(const QString& video_path);

private:
    static QString TmpDir();
    static QString Seconds();
};
