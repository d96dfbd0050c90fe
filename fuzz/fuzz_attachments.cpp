// What a message says about its attachment, and the file a download reply carries. Each input
// is taken as a url in every form the engine meets (a message's url, a request to the
// downloader, a file bubble's content) for every attachment type: the file it leads to must lie
// in that type's folder under a plain name; the avatar suffix made of it must be a plain word.
// The input is also taken as a "MessageFile_Download" reply whose Base64 file is decoded.
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "FuzzSupport.h"
#include "engine/Attachment.h"
#include "engine/AttachmentPaths.h"
#include "engine/AvatarDownloader.h"
#include "engine/EnvelopeFile.h"

namespace {

QString g_folder;

void CheckPath(const Attachment& attachment) {
    const QString path = AttachmentPaths(g_folder).DownloadPath(attachment);
    if (path.isEmpty())
        return;
    const QString folder =
        QDir::cleanPath(g_folder + QLatin1Char('/') + AttachmentPaths::FolderName(attachment.type));
    fuzz::Expect(QFileInfo(path).absolutePath() == folder, "a download stays in its folder");
    const QString name = QFileInfo(path).fileName();
    fuzz::Expect(!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String(".."),
                 "a download has a plain name");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    g_folder = fuzz::ScratchFolder() + QStringLiteral("/message");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::Bytes(data, size);
    const QString text = QString::fromUtf8(input);
    for (int type = 2; type <= 5; ++type) {
        CheckPath(Attachment::FromUrl(type, text));
        CheckPath(Attachment::FromUrl(type, text, true, QStringLiteral("42")));
        CheckPath(Attachment::FromRequest(type, text));
    }
    const Attachment bubble = Attachment::FromFileContent(text);
    CheckPath(bubble);
    bubble.RequestText();

    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]+(\\.[A-Za-z0-9]+)?$"));
    fuzz::Expect(plain.match(AvatarDownloader::SafeSuffix(text)).hasMatch(),
                 "an avatar suffix is a plain word");

    const EnvelopeFile file(input);
    file.Envelope().Text(QStringLiteral("Velta.EID"));
    if (file.HasFile()) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        file.DecodeInto(&out);
    }
    return 0;
}
