#include "ResourceDownloader.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "EnvelopeFile.h"
#include "ResourceDownloaderHttp.h"
#include "VideoThumbnail.h"
#include "base/FormBody.h"
#include "base/ServicePaths.h"
#include "base/Services.h"
#include "platform/FileOpener.h"

namespace {

bool WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A broken transfer must not leave a file that later counts as downloaded.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

std::function<bool(const QString&)> WriterOf(const EnvelopeFile& reply) {
    return [&reply](const QString& to) { return reply.WriteTo(to); };
}

}  // namespace

ResourceDownloader::ResourceDownloader(QObject* parent)
    : QObject(parent), account_(Account::GetAccountInfo(Account::CurUserId())) {}

ResourceDownloader::~ResourceDownloader() {
    delete http_;
    qDebug() << "ResourceDownloader::~ResourceDownloader";
}

void ResourceDownloader::OnStart() {
    if (http_)
        return;
    http_ = new ResourceDownloaderHttp;
    connect(http_, &HttpBase::download_progress, this, &ResourceDownloader::OnProgress);
}

void ResourceDownloader::OnDownloadResource(int type, QString url) {
    const Attachment attachment = Attachment::FromRequest(type, url);
    if (type == 2) {
        if (attachment.message_id.isEmpty())
            return;
        if (!paths_.Find(attachment).isEmpty()) {
            SetState(attachment.message_id, QStringLiteral("100"));
            return;
        }
        Request(Kind::kFile, attachment, false);
        return;
    }
    if (type < 3 || type > 5 || attachment.reference.isEmpty())
        return;
    const QString present = paths_.Find(attachment);
    if (present.isEmpty()) {
        Request(Kind::kUpload, attachment, false);
    } else if (type == 5) {
        VideoThumbnail::Ensure(present);
    }
}

void ResourceDownloader::OnOpenResource(int type, QString url) {
    const Attachment attachment = Attachment::FromRequest(type, url);
    const QString path = paths_.Find(attachment);
    if (!path.isEmpty()) {
        Present(type, path);
        return;
    }
    if (!attachment.local_file.isEmpty()) {
        qDebug().noquote() << "!!! ResourceDownloader: no such file:" << attachment.local_file;
        return;
    }
    if (type == 2) {
        OnDownloadResource(type, url);
        return;
    }
    if (type >= 3 && type <= 5 && !attachment.reference.isEmpty())
        Request(Kind::kUpload, attachment, true);
}

void ResourceDownloader::OnOpenResourceSendByMySelf(int type, QString url) {
    Attachment attachment = Attachment::FromRequest(type, url);
    attachment.sent_by_me = true;
    // Sent from this computer, or fetched before: no need to ask the server again.
    const QString present = paths_.Find(attachment);
    if (!present.isEmpty()) {
        if (!attachment.message_id.isEmpty())
            SetState(attachment.message_id, QStringLiteral("100"));
        emit download_res_send_by_myself_reback(present);
        Present(type, present);
        return;
    }
    if (!attachment.message_id.isEmpty())
        Request(Kind::kOwnFile, attachment, true);
}

QString ResourceDownloader::FlightKey(Kind kind, const Attachment& attachment) {
    return QStringLiteral("%1|%2|%3")
        .arg(static_cast<int>(kind))
        .arg(attachment.type)
        .arg(kind == Kind::kUpload ? attachment.Key() : attachment.message_id);
}

void ResourceDownloader::Request(Kind kind, const Attachment& attachment, bool open_when_done) {
    const QString flight = FlightKey(kind, attachment);
    if (in_flight_.contains(flight)) {
        // Already on its way (a click while the parser's download runs): open it on arrival.
        pending_[in_flight_.value(flight)].open_when_done |= open_when_done;
        return;
    }
    OnStart();
    const int index = ++request_counter_;
    in_flight_.insert(flight, index);
    pending_.insert(index, {kind, attachment, open_when_done, QString()});
    const auto reply = [this](bool ok, const QByteArray& data, QString, int i) {
        OnReply(ok, data, i);
    };
    if (kind == Kind::kUpload) {
        const QString url = Services::UnitBase(account_) +
                            QLatin1String(service_paths::kUploadPath) + attachment.reference;
        http_->Request(HttpBase::kGet, url, QByteArray(), nullptr, index, reply);
        return;
    }
    FormBody body;
    body.Add(QStringLiteral("User_ID"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")))
        .Add(QStringLiteral("Message_ID"), attachment.message_id);
    qDebug().noquote() << "------------------ MessageFile_Download -----------------------------";
    const QString url = Services::InterfaceUrlSlashed(
        Services::UnitBase(account_), QLatin1String(service_paths::method::kMessageFileDownload));
    // One's own file from another device shows its progress too.
    SetState(attachment.message_id, QStringLiteral("0"));
    http_->Request(HttpBase::kPost, url, body.Encode(), nullptr, index, reply);
}

void ResourceDownloader::OnProgress(int index, qint64 received, qint64 total) {
    auto it = pending_.find(index);
    if (it == pending_.end() || it->kind == Kind::kUpload || total <= 0)
        return;
    // "100" means written; until then the bytes on the wire count up to 99.
    const QString percent = QString::number(qBound<qint64>(0, received * 100 / total, 99));
    if (percent == it->percent)
        return;
    it->percent = percent;
    SetState(it->attachment.message_id, percent);
}

void ResourceDownloader::OnReply(bool ok, const QByteArray& data, int index) {
    if (!pending_.contains(index))
        return;
    const Pending pending = pending_.take(index);
    in_flight_.remove(FlightKey(pending.kind, pending.attachment));
    switch (pending.kind) {
        case Kind::kUpload:
            OnUploadReply(pending, ok, data);
            break;
        case Kind::kFile:
            OnFileReply(pending, ok ? data : QByteArray());
            break;
        case Kind::kOwnFile:
            OnOwnFileReply(pending, ok ? data : QByteArray());
            break;
    }
}

QString ResourceDownloader::Store(const Attachment& attachment,
                                  const std::function<bool(const QString&)>& write) {
    const QString path = paths_.DownloadPath(attachment);
    if (path.isEmpty() || !paths_.Claim(attachment, path) || !write(path)) {
        qDebug().noquote() << "!!! ResourceDownloader: cannot write" << path;
        return QString();
    }
    return path;
}

void ResourceDownloader::OnUploadReply(const Pending& pending, bool ok, const QByteArray& data) {
    const Attachment& attachment = pending.attachment;
    if (!ok) {
        qDebug().noquote() << "!!! ResourceDownloader: download failed:" << attachment.reference;
        return;
    }
    const QString path =
        Store(attachment, [&data](const QString& to) { return WriteFile(to, data); });
    if (path.isEmpty())
        return;
    if (attachment.type == 5)
        VideoThumbnail::Ensure(path);
    emit resource_downloaded(attachment.type, attachment.reference, path);
    if (pending.open_when_done)
        Present(attachment.type, path);
}

void ResourceDownloader::OnFileReply(const Pending& pending, const QByteArray& data) {
    const QString& message_id = pending.attachment.message_id;
    const EnvelopeFile reply(data);
    const Json& json = reply.Envelope();
    if (!json.IsValid()) {
        SetState(message_id, QStringLiteral("err: invalid"));
    } else if (json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0")) {
        SetState(message_id,
                 QStringLiteral("err: %1").arg(json.Text(QStringLiteral("Velta.ErrorMessage"))));
    } else if (Store(pending.attachment, WriterOf(reply)).isEmpty()) {
        SetState(message_id, QStringLiteral("err: invalid"));
    } else {
        SetState(message_id, QStringLiteral("100"));
    }
}

void ResourceDownloader::OnOwnFileReply(const Pending& pending, const QByteArray& data) {
    const QString& message_id = pending.attachment.message_id;
    const EnvelopeFile reply(data);
    const Json& json = reply.Envelope();
    // The page is told twice: the reply text as before, and the bubble's state in the map.
    QString failure;
    QString state = QStringLiteral("err: invalid");
    QString path;
    if (!json.IsValid()) {
        failure = QStringLiteral("error: invalid");
    } else if (json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0")) {
        failure = json.Text(QStringLiteral("Velta.ErrorMessage"));
        state = QStringLiteral("err: %1").arg(failure);
    } else {
        path = Store(pending.attachment, WriterOf(reply));
        if (path.isEmpty())
            failure = QStringLiteral("error: invalid");
    }
    SetState(message_id, failure.isEmpty() ? QStringLiteral("100") : state);
    emit download_res_send_by_myself_reback(failure.isEmpty() ? path : failure);
    if (failure.isEmpty())
        Present(pending.attachment.type, path);
}

void ResourceDownloader::Present(int type, const QString& path) {
    if (type == 4) {
        emit play_audio_file(path);
        return;
    }
    if (type == 5)
        VideoThumbnail::Ensure(path);
    FileOpener::Open(path);
}

void ResourceDownloader::SetState(const QString& message_id, const QString& state) {
    message_id_percent_.insert(message_id, state);
    emit update_download_percent(message_id_percent_);
}
