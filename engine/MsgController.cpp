#include "MsgController.h"

#include <QDebug>
#include <QThread>

#include "EngineMetaTypes.h"
#include "HeartBeatMsg.h"
#include "MsgLoader.h"
#include "MsgParse.h"
#include "MsgSearch.h"
#include "MsgSendReceive.h"
#include "ResourceDownloader.h"
#include "base/WorkerThread.h"

MsgController::MsgController() : QObject(nullptr) {}

MsgController::~MsgController() {
    Stop();
    qDebug() << "MsgController::~MsgController";
}

void MsgController::Init() {
    EngineMetaTypes::Register();
    heart_beat_msg_ = new HeartBeatMsg;
    resource_downloader_ = new ResourceDownloader;
    msg_parse_ = new MsgParse;
    msg_loader_ = new MsgLoader;
    msg_send_receive_ = new MsgSendReceive;
    msg_search_ = new MsgSearch;

    SetupThread(heart_beat_msg_, &MsgController::quit_heart_msg_thread);
    SetupThread(resource_downloader_, &MsgController::quit_resource_download_thread);
    SetupThread(msg_parse_, &MsgController::quit_msg_parse_thread);
    SetupThread(msg_loader_, &MsgController::quit_msg_loader_thread);
    SetupThread(msg_send_receive_, &MsgController::quit_msg_send_receive_thread);
    SetupThread(msg_search_, &MsgController::quit_msg_search_thread);
    ConnectWorkers();
}

template <typename Worker>
void MsgController::SetupThread(Worker* worker, void (MsgController::*quit_signal)()) {
    QThread* thread = worker_thread::Attach(this, quit_signal, worker);
    threads_.append(thread);
    workers_.append(worker);
}

void MsgController::ConnectWorkers() {
    const auto queued = Qt::QueuedConnection;
    connect(msg_parse_, &MsgParse::req_heart_msg, heart_beat_msg_, &HeartBeatMsg::OnReqHeartMsg,
            queued);
    connect(heart_beat_msg_, &HeartBeatMsg::heart_msg_to_parse, msg_parse_,
            &MsgParse::OnHeartBeatMsgToParse, queued);
    connect(msg_parse_, &MsgParse::reply_stored, heart_beat_msg_, &HeartBeatMsg::OnReplyStored,
            queued);
    connect(msg_parse_, &MsgParse::download_resource, resource_downloader_,
            &ResourceDownloader::OnDownloadResource, queued);
    connect(msg_parse_, &MsgParse::update_msg_page_ui, msg_loader_, &MsgLoader::OnNewMsgComming,
            queued);
    connect(msg_parse_, &MsgParse::msgs_has_receive, msg_send_receive_,
            &MsgSendReceive::OnMsgHasReceived, queued);
    connect(this, &MsgController::update_db_group_infos, msg_parse_, &MsgParse::OnUpdateDBGroupInfo,
            queued);
    connect(msg_parse_, &MsgParse::req_send_msg, msg_send_receive_, &MsgSendReceive::OnMsgSend,
            queued);
    connect(msg_send_receive_, &MsgSendReceive::msg_send_state, msg_parse_,
            &MsgParse::OnMsgSendReback, queued);
    connect(msg_parse_, &MsgParse::update_to_id, msg_loader_, &MsgLoader::OnUpdateToId, queued);
}

void MsgController::Start() {
    for (QThread* thread : threads_)
        thread->start(QThread::InheritPriority);
    started_ = true;
}

void MsgController::Stop() {
    if (!started_) {
        // Threads that never ran cannot delete their workers on finishing.
        qDeleteAll(workers_);
        qDeleteAll(threads_);
    } else {
        emit quit_heart_msg_thread();
        emit quit_resource_download_thread();
        emit quit_msg_loader_thread();
        emit quit_msg_send_receive_thread();
        emit quit_msg_search_thread();
        emit quit_msg_parse_thread();
        for (QThread* thread : threads_)
            thread->wait();
    }
    workers_.clear();
    threads_.clear();
}
