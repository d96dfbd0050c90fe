#include "MsgSendReceive.h"

#include <QDebug>
#include <QFileInfo>
#include <QSet>

#include "AttachmentPaths.h"
#include "MsgSendReceiveHttp.h"
#include "ReceiptBatch.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"
#include "base/SqlExec.h"

namespace {

bool IsFileType(int msg_type) {
    return msg_type == 2 || msg_type == 3 || msg_type == 5;
}

}  // namespace

MsgSendReceive::MsgSendReceive(QObject* parent)
    : QObject(parent),
      account_(Account::GetAccountInfo(Account::CurUserId())),
      client_code_(Account::DeviceId()),
      receipt_batch_(new ReceiptBatch(this)) {
    connect(receipt_batch_, &ReceiptBatch::due, this, &MsgSendReceive::OnReceiptsDue);
}

MsgSendReceive::~MsgSendReceive() {
    qDeleteAll(receipts_);
    delete http_;
    qDebug() << "MsgSendReceive::~MsgSendReceive";
}

QString MsgSendReceive::MessageIdsText(const QList<int>& message_ids) {
    if (message_ids.size() == 1)
        return QString::number(message_ids.first());
    QString text;
    for (int id : message_ids)
        text += QString::number(id) + QLatin1Char(',');
    return text;
}

void MsgSendReceive::OnStart() {
    if (!http_)
        http_ = new MsgSendReceiveHttp;
}

QString MsgSendReceive::Url(const char* method) const {
    return Services::InterfaceUrlSlashed(Services::UnitBase(account_), QLatin1String(method));
}

FormBody MsgSendReceive::SenderFields(int other_id, const QString& other_name,
                                      int client_message_id) const {
    FormBody body;
    body.Add(QStringLiteral("User_ID"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("UserName"), account_.value(QStringLiteral("UserName")))
        .Add(QStringLiteral("Other_ID"), other_id)
        .Add(QStringLiteral("OtherName"), other_name)
        .Add(QStringLiteral("ClientMessage_ID"), client_message_id)
        .Add(QStringLiteral("ClientCode"), client_code_)
        .Add(QStringLiteral("Unit_ID"), account_.value(QStringLiteral("Unit_ID")))
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")));
    return body;
}

bool MsgSendReceive::AddFileFields(FormBody* body, int msg_type, const QString& path) {
    const QFileInfo info(path);
    if (info.size() > kMaxFileBytes) {
        qDebug().noquote() << "!!! MsgSendReceive::OnMsgSend: file too large:" << path;
        return false;
    }
    body->Add(QStringLiteral("MsgType"), msg_type)
        .Add(QStringLiteral("FileName"), info.fileName())
        .AddFileBase64(QStringLiteral("Base64Data"), path);
    return true;
}

void MsgSendReceive::OnMsgSend(int other_id, QString other_name, int client_message_id,
                               int msg_type, QString content_or_file_local_url) {
    OnStart();
    FormBody body = SenderFields(other_id, other_name, client_message_id);
    const char* method = service_paths::method::kMessageSend;
    if (IsFileType(msg_type)) {
        if (!AddFileFields(&body, msg_type, content_or_file_local_url)) {
            emit catch_exceptions();
            return;
        }
        method = service_paths::method::kMessageSendFile;
    } else {
        body.Add(QStringLiteral("Content"), content_or_file_local_url);
    }
    const int request = ++request_counter_;
    sending_.insert(request, client_message_id);
    if (IsFileType(msg_type))
        sent_files_.insert(request, content_or_file_local_url);
    qDebug().noquote() << QStringLiteral("------------------ %1 -----------------------------")
                              .arg(QLatin1String(method));
    http_->Request(HttpBase::kPost, Url(method), body.Encode(), nullptr, request,
                   [this](bool ok, const QByteArray& data, QString, int index) {
                       OnSendReply(ok, data, index);
                   });
}

void MsgSendReceive::OnSendReply(bool ok, const QByteArray& data, int request) {
    const int client_message_id = sending_.take(request);
    const QString sent_file = sent_files_.take(request);
    const Json json(data);
    if (!ok || !json.IsValid()) {
        qDebug().noquote() << "!!! MsgSendReceive: no answer to the message" << client_message_id;
        return;
    }
    if (json.Text(QStringLiteral("Velta.EID")) == QLatin1String("0")) {
        const QString message_id = json.Text(QStringLiteral("Velta.Message_ID"));
        // The message's url turns into the server's once it comes back; the file stays here.
        if (!sent_file.isEmpty())
            AttachmentPaths().RecordSent(message_id, sent_file);
        emit msg_send_state(client_message_id, 1, message_id);
    } else {
        emit msg_send_state(client_message_id, 0, json.Text(QStringLiteral("Velta.ErrorMessage")));
    }
}

void MsgSendReceive::OnMsgHasReceived(int read_or_receive, QList<int> message_ids) {
    if (read_or_receive == 1)
        receipt_batch_->AddDelivered(message_ids);
    else
        PostReceipt(read_or_receive, message_ids);
}

void MsgSendReceive::OnMsgIsReaded(int other_id) {
    receipt_batch_->AddRead(other_id);
}

void MsgSendReceive::OnReceiptsDue(const QList<int>& delivered, const QList<int>& read_other_ids) {
    QList<int> read;
    for (int other_id : read_other_ids) {
        const QList<QVariantMap> rows = SqlExec::SelectRows(
            QStringLiteral("SELECT * FROM message_all WHERE other_id=:other_id AND is_read<2 AND "
                           "send_or_receive=0 ORDER BY id ASC;"),
            {{"other_id", other_id}});
        for (const QVariantMap& row : rows)
            read.append(row.value("message_id").toInt());
    }
    // Read says delivered too: a message read here needs no second receipt.
    const QSet<int> read_set(read.begin(), read.end());
    QList<int> only_delivered;
    for (int id : delivered) {
        if (!read_set.contains(id))
            only_delivered.append(id);
    }
    PostReceipt(1, only_delivered);
    PostReceipt(2, read);
}

void MsgSendReceive::PostReceipt(int read_or_receive, const QList<int>& message_ids) {
    if (message_ids.isEmpty())
        return;
    FormBody body;
    body.Add(QStringLiteral("User_ID"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("SessionID"), account_.value(QStringLiteral("SessionID")))
        .Add(QStringLiteral("Unit_ID"), account_.value(QStringLiteral("Unit_ID")))
        .Add(QStringLiteral("isRead"), read_or_receive)
        .Add(QStringLiteral("MessageIDs"), MessageIdsText(message_ids));
    const int request = ++request_counter_;
    auto* http = new MsgSendReceiveHttp;
    receipts_.insert(request, http);
    qDebug().noquote() << "------------------ Message_ReadMulti -----------------------------";
    http->Request(HttpBase::kPost, Url(service_paths::method::kMessageReadMulti), body.Encode(),
                  nullptr, request, [this](bool ok, const QByteArray& data, QString, int index) {
                      OnReceiptReply(ok, data, index);
                  });
}

void MsgSendReceive::OnReceiptReply(bool ok, const QByteArray& data, int request) {
    MsgSendReceiveHttp* http = receipts_.take(request);
    if (http)
        http->deleteLater();
    const Json json(data);
    if (!ok || json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0")) {
        qDebug().noquote() << QStringLiteral("Error on request Message_ReadMulti: msg received: %1")
                                  .arg(json.Text(QStringLiteral("Velta.ErrorMessage")));
    }
}
