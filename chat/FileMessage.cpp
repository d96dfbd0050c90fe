#include "FileMessage.h"

#include <QFileInfo>
#include <QStringList>

#include "engine/Attachment.h"

FileMessage FileMessage::Parse(const QString& content) {
    const Attachment attachment = Attachment::FromFileContent(content);
    FileMessage file;
    file.name = attachment.name;
    const QStringList fields = content.split(QLatin1Char('|'));
    // The stored url carries the size; a file not on the server yet has it on disk.
    if (!attachment.reference.isEmpty() && fields.size() > 4)
        file.size_kb = fields.last().toInt();
    else if (!attachment.local_file.isEmpty())
        file.size_kb = static_cast<int>(QFileInfo(attachment.local_file).size() / 1000);
    return file;
}

QString FileMessage::IconFor(const QString& name) {
    static const struct {
        const char* icon;
        QStringList suffixes;
    } kIcons[] = {
        {"file_word", {"doc", "docx"}},
        {"file_excel", {"xls", "xlsx"}},
        {"file_ppt", {"ppt", "pptx"}},
        {"file_audio", {"wav", "mp3"}},
        {"file_image", {"png", "jpg", "jpeg"}},
        {"file_video", {"mp4", "flv", "avi", "mkv"}},
        {"file_pdf", {"pdf"}},
        {"file_txt", {"txt"}},
        {"file_zip", {"rar", "zip", "7z"}},
    };
    const QString suffix = QFileInfo(name).suffix();
    for (const auto& entry : kIcons) {
        if (entry.suffixes.contains(suffix))
            return QLatin1String(entry.icon);
    }
    return QStringLiteral("file_default");
}
