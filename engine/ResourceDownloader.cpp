#include "ResourceDownloader.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include "ResourceDownloaderHttp.h"
#include "VideoThumbnail.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {

QString Folder(int type) {
    switch (type) {
        case 2:
            return QStringLiteral("file");
        case 3:
            return QStringLiteral("image");
        case 4:
            return QStringLiteral("audio");
        case 5:
            return QStringLiteral("video");
        default:
            return QString();
    }
}

}  // namespace

ResourceDownloader::ResourceDownloader(QObject* parent)
    : QObject(parent), account_(Account::GetAccountInfo(Account::CurUserId())) {}

ResourceDownloader::~ResourceDownloader() {
    delete http_;
    qDebug() << "ResourceDownloader::~ResourceDownloader";
}

QString ResourceDownloader::LocalPath(int type, const QString& name) {
    const QString folder = Folder(type);
    // The name comes from the server: keep it inside the folder.
    const QString file_name = QFileInfo(name).fileName();
    if (folder.isEmpty() || file_name.isEmpty() || file_name == QLatin1String(".."))
        return QString();
    return QStringLiteral("%1/%2/%3").arg(Account::MsgPath(), folder, file_name);
}

QString ResourceDownloader::NameOf(int type, const QString& url) {
    if (!url.contains(QLatin1Char('|')))
        return QFileInfo(url).fileName();
    return url.section(QLatin1Char('|'), type == 2 ? 2 : 1, type == 2 ? 2 : 1);
}

void ResourceDownloader::OnStart() {
    if (!http_)
        http_ = new ResourceDownloaderHttp;
}

void ResourceDownloader::OnDownloadResource(int type, QString url) {
    const QStringList parts = url.split(QLatin1Char('|'));
    if (type == 2) {
        // "<message id>|<server reference>|<name>"
        if (parts.size() < 3)
            return;
        const QString path = LocalPath(type, parts.at(2));
        if (QFileInfo::exists(path)) {
            SetState(parts.at(0), QStringLiteral("100"));
            return;
        }
        RequestFile(Kind::kFile, parts.at(0), path);
        return;
    }
    if (type < 3 || type > 5 || parts.size() < 2)
        return;
    RequestUpload(type, parts.at(0), LocalPath(type, parts.at(1)));
}

void ResourceDownloader::OnOpenResource(int type, QString url) {
    // A message written here still points at the file it was sent from.
    const QString path = QFileInfo(url).isAbsolute() && QFileInfo::exists(url)
                             ? url
                             : LocalPath(type, NameOf(type, url));
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        OnDownloadResource(type, url);
        return;
    }
    if (type == 4) {
        emit play_audio_file(path);
        return;
    }
    if (type == 5)
        VideoThumbnail::Ensure(path);
    OpenFile(path);
}

void ResourceDownloader::OnOpenResourceSendByMySelf(int type, QString url) {
    const QStringList parts = url.split(QLatin1Char('|'));
    if (parts.size() < 3)
        return;
    RequestFile(Kind::kOwnFile, parts.at(0), LocalPath(type, parts.at(2)));
}

void ResourceDownloader::RequestUpload(int type, const QString& reference, const QString& path) {
    if (path.isEmpty())
        return;
    OnStart();
    const int index = ++request_counter_;
    pending_.insert(index, {Kind::kUpload, type, path, QString()});
    const QString url =
        Services::UnitBase(account_) + QLatin1String(service_paths::kUploadPath) + reference;
    http_->Request(
        HttpBase::kGet, url, QByteArray(), nullptr, index,
        [this](bool ok, const QByteArray& data, QString, int i) { OnReply(ok, data, i); });
}

void ResourceDownloader::RequestFile(Kind kind, const QString& message_id, const QString& path) {
    if (path.isEmpty())
        return;
    OnStart();
    const int index = ++request_counter_;
    pending_.insert(index, {kind, 2, path, message_id});
    FormBody body;
    body.Add(QStringLiteral("User_ID"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")))
        .Add(QStringLiteral("Message_ID"), message_id);
    qDebug().noquote() << "------------------ MessageFile_Download -----------------------------";
    const QString url = Services::InterfaceUrlSlashed(
        Services::UnitBase(account_), QLatin1String(service_paths::method::kMessageFileDownload));
    http_->Request(
        HttpBase::kPost, url, body.Encode(), nullptr, index,
        [this](bool ok, const QByteArray& data, QString, int i) { OnReply(ok, data, i); });
}

void ResourceDownloader::OnReply(bool ok, const QByteArray& data, int index) {
    if (!pending_.contains(index))
        return;
    const Pending pending = pending_.take(index);
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

void ResourceDownloader::OnUploadReply(const Pending& pending, bool ok, const QByteArray& data) {
    if (!ok) {
        qDebug().noquote() << "!!! ResourceDownloader: download failed:" << pending.path;
        return;
    }
    if (WriteFile(pending.path, data) && pending.type == 5)
        VideoThumbnail::Ensure(pending.path);
}

void ResourceDownloader::OnFileReply(const Pending& pending, const QByteArray& data) {
    const Json json(data);
    if (!json.IsValid()) {
        SetState(pending.message_id, QStringLiteral("err: invalid"));
        return;
    }
    if (json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0")) {
        SetState(pending.message_id,
                 QStringLiteral("err: %1").arg(json.Text(QStringLiteral("Velta.ErrorMessage"))));
        return;
    }
    const QByteArray file =
        QByteArray::fromBase64(json.Text(QStringLiteral("Velta.Base64Data")).toLatin1());
    if (!WriteFile(pending.path, file)) {
        SetState(pending.message_id, QStringLiteral("err: invalid"));
        return;
    }
    SetState(pending.message_id, QStringLiteral("100"));
}

void ResourceDownloader::OnOwnFileReply(const Pending& pending, const QByteArray& data) {
    const Json json(data);
    if (!json.IsValid()) {
        emit download_res_send_by_myself_reback(QStringLiteral("error: invalid"));
        return;
    }
    if (json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0")) {
        emit download_res_send_by_myself_reback(json.Text(QStringLiteral("Velta.ErrorMessage")));
        return;
    }
    const QByteArray file =
        QByteArray::fromBase64(json.Text(QStringLiteral("Velta.Base64Data")).toLatin1());
    if (!WriteFile(pending.path, file)) {
        emit download_res_send_by_myself_reback(QStringLiteral("error: invalid"));
        return;
    }
    emit download_res_send_by_myself_reback(pending.path);
    OpenFile(pending.path);
}

void ResourceDownloader::SetState(const QString& message_id, const QString& state) {
    message_id_percent_.insert(message_id, state);
    emit update_download_percent(message_id_percent_);
}

bool ResourceDownloader::WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A broken transfer must not leave a file that later counts as downloaded.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        qDebug().noquote() << "!!! ResourceDownloader: cannot write" << path;
        return false;
    }
    return true;
}

void ResourceDownloader::OpenFile(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
