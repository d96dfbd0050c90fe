#pragma once

#include <QHash>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "base/Account.h"

class AvatarDownloaderHttp;

// Fetches the picture of a user or group once into the avatar folder as "<id>.<suffix>":
// "UserInfo_Get" names the picture, a plain GET brings it. An existing file is never replaced.
// A few users are asked for at a time and the others wait their turn, in the order asked: the
// first list of a long history asks for a thousand at once.
class AvatarDownloader : public QObject {
    Q_OBJECT
public:
    explicit AvatarDownloader(QObject* parent = nullptr);
    ~AvatarDownloader() override;

    // The suffix to store a picture under: everything after the first dot of its file name
    // when that is plain (letters and digits, dot-separated, short), else "png".
    static QString SafeSuffix(const QString& head_pic);
    // Users asked for at once; the rest wait.
    static constexpr int kMaxInFlight = 4;

signals:
    void avatar_ready(int other_id);

public slots:
    // Creates the request objects on the worker thread (a request that comes first does too).
    void OnStart();
    void OnReqAvatar(QStringList other_ids);
    void OnReqOneAvatar(QString other_id);

private:
    void SendWaiting();
    void AskUserInfo(const QString& other_id);
    // One user's requests are over, whatever came of them.
    void Done();
    void OnUserInfoReply(bool ok, const QByteArray& data);
    void OnPictureReply(bool ok, const QByteArray& data, int index);
    bool WriteOnce(const QString& path, const QByteArray& data) const;

    AccountMap account_;
    QString avatar_dir_;
    AvatarDownloaderHttp* info_http_ = nullptr;
    AvatarDownloaderHttp* picture_http_ = nullptr;
    int request_counter_ = 0;
    struct Pending {
        int id = 0;
        QString path;
    };
    // Picture request number -> whose picture and the file it is stored as.
    QHash<int, Pending> pending_;
    QQueue<QString> waiting_;
    int in_flight_ = 0;
};
