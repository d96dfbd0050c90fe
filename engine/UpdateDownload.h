#pragma once

#include <QObject>

class UpdateDownloadHttp;

// While the main window runs, asks the vendor host for the latest version and, when it is newer
// than this one, downloads its installer into the update folder for the offer at the next
// start. Lives on a thread of its own; OnStart runs one cycle when the thread starts.
class UpdateDownload : public QObject {
    Q_OBJECT
public:
    UpdateDownload();
    ~UpdateDownload() override;

public slots:
    void OnStart();

signals:
    // The cycle is over; `installer_ready` when a newer installer now waits in the update folder.
    void cycle_finished(bool installer_ready);

private:
    void RemoveOldFiles();
    void OnVersionReply(bool ok, const QByteArray& data);
    void OnInstallerReply(bool ok, const QByteArray& data);
    void Finish(bool installer_ready);

    UpdateDownloadHttp* http_ = nullptr;
};
