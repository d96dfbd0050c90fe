#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class FormBody;
class HttpBase;

// Posts requests of the schedule service on one request object. Every request is tagged with a
// serial, a channel and a kind (the reply's "custom_index"); a new request on a channel makes
// the replies of the earlier ones on that channel stale, and stale replies are dropped. So a
// week or list the user has left never fills the one shown, and replies cannot be handed to
// the wrong parser when requests overlap.
class ScheduleRequester : public QObject {
    Q_OBJECT
public:
    // Receives the body of each current, successful (HTTP 200) reply.
    using Handler = std::function<void(int kind, const QByteArray& data)>;

    // `http` must answer through HttpBase::ReplyIndexed; it becomes a child of this object.
    ScheduleRequester(HttpBase* http, Handler handler, QObject* parent = nullptr);

    // Posts `method` of the schedule service with `body` to the current unit.
    void Post(int channel, int kind, const QString& method, const FormBody& body);
    // Makes whatever is in flight on `channel` stale.
    void Cancel(int channel);

    // The unit's schedule service URL of `method`; empty without a unit base.
    static QString Url(const QString& method);
    // The platform's schedule web page of the current unit.
    static QString WebPageUrl();

private:
    void OnReply(bool ok, const QByteArray& data, const QString& status, int index);

    HttpBase* http_;
    Handler handler_;
    int serial_ = 0;
    QHash<int, int> latest_;       // channel -> serial of its newest request
    QHash<int, QString> methods_;  // kind -> method, for the log
};
