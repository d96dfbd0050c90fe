#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "base/Account.h"

class HeartBeatMsgHttp;

// Posts "Message_GetByMaxID2" with the poll position and hands the reply text to the parser.
// The parser asks for the next poll once it has stored a reply, so one request is out at a time.
// Workers copy the account when they are made, on the thread that signed in.
class HeartBeatMsg : public QObject {
    Q_OBJECT
public:
    explicit HeartBeatMsg(QObject* parent = nullptr);
    ~HeartBeatMsg() override;

    // The "MathNum" field: a fresh number in 0..99 for every request.
    static int MathNum();

signals:
    void heart_msg_ready(QByteArray data);
    void heart_msg_to_parse(QString data);
    void heart_msg_eid(QString eid_str);

public slots:
    // Creates the request object on the worker thread (a request that comes first does too).
    void OnStart();
    // ids: MaxMessage_ID, MaxMessageLog_ID, MaxBellLog_ID, MaxNumUpdateLog_ID.
    void OnReqHeartMsg(QList<int> ids);

private slots:
    void OnHeartMsgReady(const QByteArray& data);

private:
    void OnReply(bool ok, const QByteArray& data, const QString& status);

    HeartBeatMsgHttp* http_ = nullptr;
    AccountMap account_;
    bool pending_ = false;
};
