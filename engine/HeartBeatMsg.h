#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "base/Account.h"
#include "base/RetryDelay.h"

class HeartBeatMsgHttp;
class QTimer;

// Posts "Message_GetByMaxID2" with the poll position and hands the reply text to the parser.
// The parser asks for the next poll once it has stored a reply, so one request is out at a time.
// A poll that fails is sent again after a growing delay; after a reply that carried an error EID
// or could not be stored, the next poll waits as long, so a stumbling server or a full disk is
// never asked many times a second.
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
    // No usable answer (connection failed, HTTP error, a body that is not JSON): the same poll
    // goes out again after retry_in_ms.
    void heart_msg_failed(int retry_in_ms);

public slots:
    // Creates the request object on the worker thread (a request that comes first does too).
    void OnStart();
    // ids: MaxMessage_ID, MaxMessageLog_ID, MaxBellLog_ID, MaxNumUpdateLog_ID.
    void OnReqHeartMsg(QList<int> ids);
    // From the parser, before it asks for the next poll: whether the last reply was stored.
    void OnReplyStored(bool stored);

private slots:
    void OnHeartMsgReady(const QByteArray& data);

private:
    void OnReply(bool ok, const QByteArray& data, const QString& status);
    void Post();
    void PostLater(int delay_ms);

    HeartBeatMsgHttp* http_ = nullptr;
    AccountMap account_;
    bool pending_ = false;
    QList<int> ids_;
    RetryDelay retry_;
    QTimer* retry_timer_ = nullptr;
    // The last reply carried an error EID or was not stored: the next poll waits.
    bool slow_next_ = false;
};
