#pragma once

// A signed-in user's engine against platform-sim, built as the main window builds it: its
// record lists are freed as the widgets free them.

#include <QPointer>
#include <QThread>

#include "EngineTestEnv.h"
#include "engine/HeartBeatMsg.h"
#include "engine/MsgController.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/MsgSearch.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/SimServer.h"

namespace engine_test {

class SimEngine {
public:
    SimEngine(SimServer& sim, const QString& login, int user_id, bool fresh = true)
        : controller_(new MsgController) {
        ok_ = SignInAs(login, user_id, sim.UnitRecord(), sim.OpenSession(login), fresh);
        controller_->Init();
        QObject::connect(controller_->Parse(), &MsgParse::update_connect_list_ui, &context_,
                         [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller_->Parse(), &MsgParse::msgs_sys_has_receive, &context_,
                         [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
        QObject::connect(controller_->Loader(), &MsgLoader::msg_load_ready, &context_,
                         [](MessageItemInfoPointers list) { qDeleteAll(list); });
    }
    ~SimEngine() { Stop(); }
    SimEngine(const SimEngine&) = delete;
    SimEngine& operator=(const SimEngine&) = delete;

    bool Ok() const { return ok_; }
    MsgController* Controller() const { return controller_; }
    void Start() { controller_->Start(); }
    // Deletes the controller as the main window does, then takes in the lists still on their
    // way, which belong to the receiver.
    void Stop() {
        delete controller_;
        controller_ = nullptr;
        QCoreApplication::sendPostedEvents(&context_, QEvent::MetaCall);
    }

    // The workers, then their threads.
    QList<QPointer<QObject>> Owned() const {
        QList<QPointer<QObject>> owned = {controller_->HeartBeat(),   controller_->Parse(),
                                          controller_->Downloader(),  controller_->Loader(),
                                          controller_->SendReceive(), controller_->Search()};
        for (QThread* thread : controller_->Threads())
            owned.append(thread);
        return owned;
    }

    // Writes as the conversation page does; the local row id, 0 when none was made.
    int Write(int other_id, const QString& other_name, int msg_type, const QString& text) {
        QueuedSpy to_ids(controller_->Parse(), &MsgParse::update_to_id);
        QMetaObject::invokeMethod(controller_->Parse(), "OnMsgSend", Qt::QueuedConnection,
                                  Q_ARG(int, other_id), Q_ARG(QString, other_name),
                                  Q_ARG(int, msg_type), Q_ARG(int, 7), Q_ARG(QString, text));
        return to_ids.wait() ? to_ids.first().at(1).toInt() : 0;
    }

private:
    bool ok_ = false;
    QObject context_;
    MsgController* controller_;
};

}  // namespace engine_test
