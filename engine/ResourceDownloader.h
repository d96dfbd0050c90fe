#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include "base/Account.h"

class ResourceDownloaderHttp;

// Brings attachments into the user's message folder: images, audio and video as soon as their
// message is stored, files when the user opens them; opens or plays what is already there.
class ResourceDownloader : public QObject {
    Q_OBJECT
public:
    explicit ResourceDownloader(QObject* parent = nullptr);
    ~ResourceDownloader() override;

    // "<message folder>/<file|image|audio|video>/<name>"; empty for other types.
    static QString LocalPath(int type, const QString& name);
    // The file name in a url: "reference|name[|length]" for media, "message id|reference|name"
    // for a file the page asks for, or a local path.
    static QString NameOf(int type, const QString& url);

signals:
    void update_download_percent(QHash<QString, QString> message_id_percent);
    void download_res_send_by_myself_reback(QString message);
    void play_audio_file(QString res_path);

public slots:
    // Creates the request object on the worker thread (a request that comes first does too).
    void OnStart();
    void OnDownloadResource(int type, QString url);
    void OnOpenResource(int type, QString url);
    void OnOpenResourceSendByMySelf(int type, QString url);

private:
    enum class Kind { kUpload, kFile, kOwnFile };
    struct Pending {
        Kind kind = Kind::kUpload;
        int type = 0;
        QString path;
        QString message_id;
    };

    void RequestUpload(int type, const QString& reference, const QString& path);
    void RequestFile(Kind kind, const QString& message_id, const QString& path);
    void OnReply(bool ok, const QByteArray& data, int index);
    void OnUploadReply(const Pending& pending, bool ok, const QByteArray& data);
    void OnFileReply(const Pending& pending, const QByteArray& data);
    void OnOwnFileReply(const Pending& pending, const QByteArray& data);
    void SetState(const QString& message_id, const QString& state);
    static bool WriteFile(const QString& path, const QByteArray& data);
    static void OpenFile(const QString& path);

    AccountMap account_;
    ResourceDownloaderHttp* http_ = nullptr;
    int request_counter_ = 0;
    QHash<int, Pending> pending_;
    QHash<QString, QString> message_id_percent_;
};
