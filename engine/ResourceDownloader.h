#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

#include "Attachment.h"
#include "AttachmentPaths.h"
#include "base/Account.h"

class ResourceDownloaderHttp;

// Brings attachments into the user's message folder: images, audio and video as soon as their
// message is stored, files when the user asks; opens or plays what is already there. Where each
// attachment is kept is AttachmentPaths' rule; the slots take the url forms of
// Attachment::FromRequest ("message id|reference|name" for a file, "reference|name[|seconds]"
// for media, or a local path).
class ResourceDownloader : public QObject {
    Q_OBJECT
public:
    explicit ResourceDownloader(QObject* parent = nullptr);
    ~ResourceDownloader() override;

signals:
    // message id -> "100" (the file is here), "err: ..." or the percentage received so far.
    void update_download_percent(QHash<QString, QString> message_id_percent);
    void download_res_send_by_myself_reback(QString message);
    void play_audio_file(QString res_path);
    // An image, voice or video (with its thumbnail) is on disk now: bubbles showing the message
    // of that server reference can show it.
    void resource_downloaded(int type, QString reference, QString local_path);

public slots:
    // Creates the request object on the worker thread (a request that comes first does too).
    void OnStart();
    void OnDownloadResource(int type, QString url);
    // A click: plays or opens what is here; media that is missing is fetched and then played
    // or opened, a missing file only fetched.
    void OnOpenResource(int type, QString url);
    void OnOpenResourceSendByMySelf(int type, QString url);

private:
    enum class Kind { kUpload, kFile, kOwnFile };
    struct Pending {
        Kind kind = Kind::kUpload;
        Attachment attachment;
        bool open_when_done = false;
        QString percent;
    };

    void Request(Kind kind, const Attachment& attachment, bool open_when_done);
    void OnReply(bool ok, const QByteArray& data, int index);
    void OnProgress(int index, qint64 received, qint64 total);
    void OnUploadReply(const Pending& pending, bool ok, const QByteArray& data);
    void OnFileReply(const Pending& pending, const QByteArray& data);
    void OnOwnFileReply(const Pending& pending, const QByteArray& data);
    // Has `write` put the file where the attachment belongs; its path, or empty on failure.
    QString Store(const Attachment& attachment, const std::function<bool(const QString&)>& write);
    void Present(int type, const QString& path);
    void SetState(const QString& message_id, const QString& state);
    static QString FlightKey(Kind kind, const Attachment& attachment);

    AccountMap account_;
    AttachmentPaths paths_;
    ResourceDownloaderHttp* http_ = nullptr;
    int request_counter_ = 0;
    QHash<int, Pending> pending_;
    // One request per attachment at a time: flight key -> request number.
    QHash<QString, int> in_flight_;
    QHash<QString, QString> message_id_percent_;
};
