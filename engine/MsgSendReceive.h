#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "base/Account.h"

class FormBody;
class MsgSendReceiveHttp;
class ReceiptBatch;

// Posts the messages written here ("Message_Send", "Message_SendFile") and the delivery and
// read receipts ("Message_ReadMulti").
class MsgSendReceive : public QObject {
    Q_OBJECT
public:
    // Attachments past this size are refused before they are read.
    static constexpr qint64 kMaxFileBytes = 50LL * 1024 * 1024;

    explicit MsgSendReceive(QObject* parent = nullptr);
    ~MsgSendReceive() override;

    // "MessageIDs": the id alone, or every id followed by ",".
    static QString MessageIdsText(const QList<int>& message_ids);

signals:
    void msg_send_state(int client_msg_id, int state, QString err_msg_or_msg_id);
    void catch_exceptions();

public slots:
    // Creates the request object on the worker thread (a request that comes first does too).
    void OnStart();
    // Delivery receipts (1) and conversations looked at wait a moment and go out together.
    void OnMsgHasReceived(int read_or_receive, QList<int> message_ids);
    void OnMsgIsReaded(int other_id);
    void OnMsgSend(int other_id, QString other_name, int client_message_id, int msg_type,
                   QString content_or_file_local_url);

private:
    FormBody SenderFields(int other_id, const QString& other_name, int client_message_id) const;
    bool AddFileFields(FormBody* body, int msg_type, const QString& path);
    void OnSendReply(bool ok, const QByteArray& data, int request);
    void OnReceiptsDue(const QList<int>& delivered, const QList<int>& read_other_ids);
    void PostReceipt(int read_or_receive, const QList<int>& message_ids);
    void OnReceiptReply(bool ok, const QByteArray& data, int request);
    QString Url(const char* method) const;

    AccountMap account_;
    QString client_code_;
    int request_counter_ = 0;
    MsgSendReceiveHttp* http_ = nullptr;
    ReceiptBatch* receipt_batch_;
    // request number -> client_message_id, between sending and answer.
    QHash<int, int> sending_;
    // request number -> the local path of an attachment being sent.
    QHash<int, QString> sent_files_;
    // request number -> its own request object, kept until the answer.
    QHash<int, MsgSendReceiveHttp*> receipts_;
};
