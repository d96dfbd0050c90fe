#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class HeartBeatMsg;
class MsgParse;
class ResourceDownloader;
class MsgLoader;
class MsgSendReceive;
class MsgSearch;
class QThread;

// Owns the engine workers, each alone on its own thread, and the queued connections between
// them: the five of the message loop and the search. Destroying it stops and joins every
// thread.
class MsgController : public QObject {
    Q_OBJECT
public:
    MsgController();
    ~MsgController() override;

    // Creates the workers and their threads and connects them; the threads do not run yet.
    void Init();
    void Start();

    HeartBeatMsg* HeartBeat() const { return heart_beat_msg_; }
    MsgParse* Parse() const { return msg_parse_; }
    ResourceDownloader* Downloader() const { return resource_downloader_; }
    MsgLoader* Loader() const { return msg_loader_; }
    MsgSendReceive* SendReceive() const { return msg_send_receive_; }
    MsgSearch* Search() const { return msg_search_; }
    // Heartbeat, resource download, parse, loader, send-receive, search.
    const QList<QThread*>& Threads() const { return threads_; }

signals:
    void quit_heart_msg_thread();
    void quit_msg_parse_thread();
    void quit_resource_download_thread();
    void quit_msg_loader_thread();
    void quit_msg_send_receive_thread();
    void quit_msg_search_thread();
    void update_db_group_infos(QStringList infos);

private:
    template <typename Worker>
    void SetupThread(Worker* worker, void (MsgController::*quit_signal)());
    void ConnectWorkers();
    void Stop();

    HeartBeatMsg* heart_beat_msg_ = nullptr;
    MsgParse* msg_parse_ = nullptr;
    ResourceDownloader* resource_downloader_ = nullptr;
    MsgLoader* msg_loader_ = nullptr;
    MsgSendReceive* msg_send_receive_ = nullptr;
    MsgSearch* msg_search_ = nullptr;
    QList<QThread*> threads_;
    QList<QObject*> workers_;
    bool started_ = false;
};
