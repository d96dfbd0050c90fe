#include "BackgroundDbCheck.h"

#include <QDebug>
#include <QThread>

#include "MsgDbCheck.h"

BackgroundDbCheck::BackgroundDbCheck(const QString& db_path, QObject* parent)
    : QObject(parent), db_path_(db_path) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &BackgroundDbCheck::Run);
}

BackgroundDbCheck::~BackgroundDbCheck() {
    stop_ = true;
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

void BackgroundDbCheck::Start(int delay_ms) {
    timer_.start(delay_ms);
}

void BackgroundDbCheck::Run() {
    if (thread_)
        return;
    thread_ = QThread::create([this] {
        const MsgDbCheck::State state =
            MsgDbCheck::Check(db_path_, MsgDbCheck::Depth::kFull, &stop_);
        if (state == MsgDbCheck::State::kDamaged) {
            qDebug().noquote() << "!!! BackgroundDbCheck: msg.db is damaged, set aside at the "
                                  "next login";
            MsgDbCheck::MarkDamaged(db_path_);
        }
        QMetaObject::invokeMethod(
            this, [this, state] { emit checked(static_cast<int>(state)); }, Qt::QueuedConnection);
    });
    thread_->setObjectName(QStringLiteral("MsgDbCheck"));
    thread_->start(QThread::IdlePriority);
}
