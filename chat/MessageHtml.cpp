#include "MessageHtml.h"

#include <QDebug>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>

#include "engine/MessageItemInfo.h"

namespace {

const int kKeepWidth = 333;
const int kShortSide = 169;
const QSize kDefaultNailSize(110, 141);
const char kDefaultNail[] = ":/resource/default_nail.png";
const char kPictureTemplate[] =
    "<html><head/><body><p><img src=\"%1\" width=\"%2\" height=\"%3\" /></p></body></html>";
const char kLocalPictureTemplate[] =
    "<html><head></head><body><p><img src='%1' width='%2' height='%3' /></p></body></html>";

// "jpg" and "jpeg" name the same format.
QString FormatName(const QString& name) {
    const QString lower = name.toLower();
    return lower == QLatin1String("jpg") ? QStringLiteral("jpeg") : lower;
}

// A picture whose suffix lies about its format is shown from a copy named after the real one.
QString ReadablePath(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QString format = FormatName(QString::fromLatin1(reader.format()));
    const QFileInfo info(path);
    if (format.isEmpty() || format == FormatName(info.suffix()))
        return path;
    const QString copy =
        QStringLiteral("%1/%2.%3").arg(info.absolutePath(), info.completeBaseName(), format);
    if (!QFileInfo::exists(copy)) {
        const QImage image = reader.read();
        if (image.isNull() || !image.save(copy, format.toLatin1().constData()))
            return path;
    }
    return copy;
}

}  // namespace

QString MessageHtml::Text(const QString& content) {
    // Names are Chinese words: \w has to know more than ASCII.
    static const QRegularExpression emoji(QStringLiteral("\\[(\\w+)\\]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    // A CR LF pair is one line break.
    static const QRegularExpression line_break(QStringLiteral("\\r\\n|\\r|\\n"));
    QString html = content.toHtmlEscaped();
    html.replace(emoji, QStringLiteral("<img src=\":/resource/emoji_default/\\1.png\" "
                                       "width=\"30\" height=\"30\" />"));
    html.replace(line_break, QStringLiteral("</p><p>"));
    html = QStringLiteral("<html><head></head><body><p>%1</p></body></html>").arg(html);
    qDebug().noquote() << html;
    return html;
}

QSize MessageHtml::DisplaySize(const QSize& image) {
    const int width = image.width();
    const int height = image.height();
    if (width <= kKeepWidth || height <= 0)
        return image;
    if (width >= height)
        return QSize(width * kShortSide / height, kShortSide);
    return QSize(kShortSide, height * kShortSide / width);
}

QString MessageHtml::Picture(const QString& path, const QSize& size) {
    return QString::fromLatin1(kPictureTemplate)
        .arg(path.toHtmlEscaped())
        .arg(size.width())
        .arg(size.height());
}

QString MessageHtml::LocalPicture(const QString& path, const QSize& size) {
    return QString::fromLatin1(kLocalPictureTemplate)
        .arg(path.toHtmlEscaped())
        .arg(size.width())
        .arg(size.height());
}

QSize MessageHtml::ImageSize(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

QString MessageHtml::Image(const QString& path) {
    if (!QFileInfo::exists(path))
        return QStringLiteral("Error: load image: %1").arg(path);
    const QString shown = ReadablePath(path);
    return Picture(shown, DisplaySize(ImageSize(shown)));
}

QString MessageHtml::Audio(const QString& path, const QString& url, bool received) {
    if (!QFileInfo::exists(path))
        return QStringLiteral("Error: load audio: %1").arg(path);
    const QString seconds = url.section(QLatin1Char('|'), -1).toHtmlEscaped();
    if (received) {
        return QStringLiteral(
                   "<html><head/><body><p><img src=\":/resource/audio_left_item.png\"/><span "
                   "style=\" font-size:20pt;\">  %1&quot;</span></p></body></html>")
            .arg(seconds);
    }
    return QStringLiteral(
               "<html><head/><body><p><span style=\" font-size:20pt;\">%1&quot;  </span><img "
               "src=\":/resource/audio_right_item.png\"/></p></body></html>")
        .arg(seconds);
}

QString MessageHtml::Video(const QString& video_path) {
    const QFileInfo info(video_path);
    const QString thumbnail =
        QStringLiteral("%1/%2_thumbnail.png").arg(info.absolutePath(), info.completeBaseName());
    if (!QFileInfo::exists(thumbnail))
        return Picture(QLatin1String(kDefaultNail), kDefaultNailSize);
    return Picture(thumbnail, DisplaySize(ImageSize(thumbnail)));
}

QString MessageHtml::FileContent(const MessageItemInfo& info) {
    if (!info.content.isEmpty())
        return info.content;
    return QStringLiteral("MsgID_%1|%2|%3")
        .arg(info.message_id)
        .arg(info.send_or_receive)
        .arg(info.url);
}

QString MessageHtml::ForRecord(const MessageItemInfo& info, const QString& local_path) {
    switch (info.msg_type) {
        case 2:
            return FileContent(info);
        case 3:
        case 4:
        case 5:
            return ForAttachment(info.msg_type, local_path, info.url, info.send_or_receive == 0);
        default:
            return Text(info.content);
    }
}

QString MessageHtml::ForAttachment(int msg_type, const QString& local_path, const QString& url,
                                   bool received) {
    switch (msg_type) {
        case 3:
            return Image(local_path);
        case 4:
            return Audio(local_path, url, received);
        default:
            return Video(local_path);
    }
}
