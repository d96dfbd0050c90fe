#include "UpdateDownload.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include "UpdateDownloadHttp.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"
#include "base/UpdateFiles.h"

namespace {
const char kVersionQuery[] = "?APP_ID=1&AppType=3";
const int kRequestIndex = 0;
}  // namespace

UpdateDownload::UpdateDownload() : QObject(nullptr) {}

UpdateDownload::~UpdateDownload() {
    qDebug() << "UpdateDownload::~UpdateDownload";
}

void UpdateDownload::OnStart() {
    http_ = new UpdateDownloadHttp(this);
    RemoveOldFiles();
    const QString url = Services::VendorUrl(QLatin1String(service_paths::method::kVersionGetLast)) +
                        QLatin1String(kVersionQuery);
    http_->Request(
        HttpBase::kGet, url, QByteArray(), nullptr, kRequestIndex,
        [this](bool ok, const QByteArray& data, QString, int) { OnVersionReply(ok, data); });
}

// The marker in the tools folder is the administrator's, not ours: it stays.
void UpdateDownload::RemoveOldFiles() {
    const QString installer = UpdateFiles::InstallerPath();
    const QString reply = UpdateFiles::ReplyPath();
    if (QFile::exists(installer) || QFile::exists(reply)) {
        QFile::remove(installer);
        QFile::remove(reply);
    }
}

void UpdateDownload::OnVersionReply(bool ok, const QByteArray& data) {
    qDebug().noquote().nospace() << "UserInfo_Get: data: " << QString::fromUtf8(data);
    if (!ok)
        return Finish(false);
    const Json reply(data);
    if (!reply.IsValid())
        return Finish(false);
    const QString reference = reply.Text(QStringLiteral("Velta.V.Url"));
    if (!UpdateFiles::IsNewer(reply.Text(QStringLiteral("Velta.V.No"))) || reference.isEmpty())
        return Finish(false);
    reply.Save(UpdateFiles::ReplyPath());
    http_->Request(
        HttpBase::kGet, Services::InstallerUrl(reference), QByteArray(), nullptr, kRequestIndex,
        [this](bool ok, const QByteArray& data, QString, int) { OnInstallerReply(ok, data); });
}

void UpdateDownload::OnInstallerReply(bool ok, const QByteArray& data) {
    // The installer itself is no text for the log.
    qDebug().noquote().nospace() << "UserInfo_Get: data: <" << data.size() << " bytes>";
    // Written under a temporary name and renamed when complete: never half an installer.
    QSaveFile installer(UpdateFiles::InstallerPath());
    const bool written = ok && !data.isEmpty() && installer.open(QIODevice::WriteOnly) &&
                         installer.write(data) == data.size() && installer.commit();
    if (!written) {
        qDebug() << "!!! UpdateDownload: no installer written";
        // Without its installer the saved reply means nothing.
        QFile::remove(UpdateFiles::ReplyPath());
    }
    Finish(written);
}

void UpdateDownload::Finish(bool installer_ready) {
    emit cycle_finished(installer_ready);
}
