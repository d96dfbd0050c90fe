#include "AvatarDownloader.h"

#include <QDebug>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include "AvatarDownloaderHttp.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {
const char kFallbackSuffix[] = "png";
}

// The account and folder are copied here, on the thread that signed in.
AvatarDownloader::AvatarDownloader(QObject* parent)
    : QObject(parent),
      account_(Account::GetAccountInfo(Account::CurUserId())),
      avatar_dir_(Account::AvatarPath()) {}

AvatarDownloader::~AvatarDownloader() {
    delete info_http_;
    delete picture_http_;
    qDebug() << "AvatarDownloader::~AvatarDownloader";
}

QString AvatarDownloader::SafeSuffix(const QString& head_pic) {
    const QString name = QFileInfo(QUrl(head_pic).path()).fileName();
    const QString suffix = name.section(QLatin1Char('.'), 1);
    // The suffix becomes part of a path: nothing but short words joined by single dots.
    static const QRegularExpression plain(
        QStringLiteral("^[A-Za-z0-9]{1,8}(\\.[A-Za-z0-9]{1,8})?$"));
    return plain.match(suffix).hasMatch() ? suffix : QString::fromLatin1(kFallbackSuffix);
}

void AvatarDownloader::OnStart() {
    if (info_http_)
        return;
    info_http_ = new AvatarDownloaderHttp;
    picture_http_ = new AvatarDownloaderHttp;
}

void AvatarDownloader::OnReqAvatar(QStringList other_ids) {
    for (const QString& other_id : other_ids)
        OnReqOneAvatar(other_id);
}

void AvatarDownloader::OnReqOneAvatar(QString other_id) {
    OnStart();
    waiting_.enqueue(other_id);
    SendWaiting();
}

void AvatarDownloader::SendWaiting() {
    while (in_flight_ < kMaxInFlight && !waiting_.isEmpty()) {
        ++in_flight_;
        AskUserInfo(waiting_.dequeue());
    }
}

void AvatarDownloader::Done() {
    --in_flight_;
    SendWaiting();
}

void AvatarDownloader::AskUserInfo(const QString& other_id) {
    FormBody body;
    body.Add(QStringLiteral("GetUser_ID"), other_id)
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")));
    qDebug().noquote() << "------------------ UserInfo_Get -----------------------------";
    const QString url = Services::InterfaceUrl(Services::UnitBase(account_),
                                               QLatin1String(service_paths::method::kUserInfoGet));
    info_http_->Request(
        HttpBase::kPost, url, body.Encode(), nullptr, 0,
        [this](bool ok, const QByteArray& data, QString, int) { OnUserInfoReply(ok, data); });
}

void AvatarDownloader::OnUserInfoReply(bool ok, const QByteArray& data) {
    qDebug().noquote() << "UserInfo_Get: data: " << QString::fromUtf8(data);
    const Json json(data);
    if (!ok || !json.IsValid())
        return Done();
    bool is_id = false;
    const int id = json.Text(QStringLiteral("Velta.User_ID")).toInt(&is_id);
    const QString head_pic = json.Text(QStringLiteral("Velta.HeadPic"));
    // The id names the file: only a number may; without a picture there is nothing to fetch.
    if (!is_id || head_pic.isEmpty())
        return Done();
    const int index = ++request_counter_;
    pending_.insert(
        index, {id, QStringLiteral("%1/%2.%3").arg(avatar_dir_).arg(id).arg(SafeSuffix(head_pic))});
    picture_http_->Request(HttpBase::kGet, Services::UnitBase(account_) + head_pic, QByteArray(),
                           nullptr, index,
                           [this](bool picture_ok, const QByteArray& picture, QString, int i) {
                               OnPictureReply(picture_ok, picture, i);
                           });
}

void AvatarDownloader::OnPictureReply(bool ok, const QByteArray& data, int index) {
    const Pending pending = pending_.take(index);
    Done();
    if (!ok || pending.path.isEmpty() || QFileInfo::exists(pending.path))
        return;
    if (WriteOnce(pending.path, data))
        emit avatar_ready(pending.id);
}

bool AvatarDownloader::WriteOnce(const QString& path, const QByteArray& data) const {
    // An existing avatar is never replaced, so a broken one would stay for good.
    if (QImage::fromData(data).isNull()) {
        qDebug().noquote() << "!!! AvatarDownloader: not a picture:" << path;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    return file.commit();
}
