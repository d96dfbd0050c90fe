#pragma once

#include <QtTest>

#include "base/Account.h"
#include "base/FormBody.h"
#include "base/HttpBase.h"
#include "base/Json.h"
#include "base/Services.h"
#include "tests/support/SimServer.h"

// One request made the way the client makes it (HttpBase, FormBody), its answer read with the
// client's dot paths.
class SimCall : public HttpBase {
public:
    SimCall(int mode, const QString& url, const FormBody& body = FormBody()) {
        Request(mode, url, body.Encode(), [this](bool ok, const QByteArray& data, QString status) {
            done_ = true;
            ok_ = ok;
            data_ = data;
            status_ = status;
        });
    }

    // A guard against a hang, not a measure of speed.
    bool Wait() {
        return QTest::qWaitFor([this] { return done_; }, 60000);
    }
    bool Ok() const { return ok_; }
    const QByteArray& Data() const { return data_; }
    const QString& Status() const { return status_; }
    QString Text(const QString& path) const { return Json(data_).Text(path); }

protected:
    void OnReply(QNetworkReply*, const QByteArray& data, int status) override {
        ReplyPlain(data, status);
    }

private:
    bool done_ = false;
    bool ok_ = false;
    QByteArray data_;
    QString status_;
};

namespace sim_call {

// Posts and waits; the answer parsed.
inline Json Post(const QString& url, const FormBody& body) {
    SimCall call(HttpBase::kPost, url, body);
    call.Wait();
    return Json(call.Data());
}

inline QByteArray Get(const QString& url) {
    SimCall call(HttpBase::kGet, url);
    call.Wait();
    return call.Ok() ? call.Data() : QByteArray();
}

inline FormBody LoginBody(const QString& login, const QString& password) {
    return FormBody()
        .Add("loginid", login)
        .Add("encyptpassword", Account::GetEncryptPSW(password))
        .Add("onlinetype", "192")
        .Add("devicename", "")
        .Add("place", "");
}

// The heartbeat body in the client's field order.
inline FormBody PollBody(const QString& user_id, const QString& session, qint64 max_message = 0,
                         qint64 max_log = 0, qint64 max_bell = 0, qint64 max_num = 0) {
    return FormBody()
        .Add("User_ID", user_id)
        .Add("SessionID", session)
        .Add("MaxMessage_ID", QString::number(max_message))
        .Add("MaxMessageLog_ID", QString::number(max_log))
        .Add("MaxBellLog_ID", QString::number(max_bell))
        .Add("MaxNumUpdateLog_ID", QString::number(max_num))
        .Add("MathNum", "7");
}

inline QString PollUrl(const SimServer& sim) {
    return Services::InterfaceUrl(sim.UnitBase(), "Message_GetByMaxID2");
}

// Every heartbeat "M" record after `after`, in reply order.
inline QJsonArray Messages(const SimServer& sim, const QString& user_id, const QString& session,
                           qint64 after = 0) {
    return Post(PollUrl(sim), PollBody(user_id, session, after)).Array("Velta.M");
}

inline qint64 LastId(const QJsonArray& messages, const char* key = "Message_ID") {
    return messages.isEmpty() ? 0 : messages.last().toObject().value(key).toString().toLongLong();
}

// One user's device on the heartbeat, advancing its own four positions like the client does.
class SimPoller {
public:
    SimPoller(SimServer& sim, const QString& user) : sim_(sim), user_(user) {
        session_ = sim.OpenSession(user);
        Poll();
    }

    // Past everything seen so far, so only news can answer it.
    FormBody Body() const { return PollBody(user_, session_, message_, log_, bell_, num_); }
    const QString& Session() const { return session_; }
    qint64 NumPosition() const { return num_; }

    // One heartbeat; returns the reply and moves the positions past it.
    Json Poll() {
        Json reply = Post(PollUrl(sim_), Body());
        message_ = qMax(message_, LastId(reply.Array("Velta.M")));
        log_ = qMax(log_, LastId(reply.Array("Velta.ML"), "MessageLog_ID"));
        bell_ = qMax(bell_, LastId(reply.Array("Velta.B"), "BellLog_ID"));
        num_ = reply.Text("Velta.MaxNumUpdateLog_ID").toLongLong();
        return reply;
    }

    Json Receipt(int state, const QString& ids) {
        return Post(Services::InterfaceUrlSlashed(sim_.UnitBase(), "Message_ReadMulti"),
                    FormBody()
                        .Add("User_ID", user_)
                        .Add("SessionID", session_)
                        .Add("Unit_ID", "1001")
                        .Add("isRead", state)
                        .Add("MessageIDs", ids));
    }

private:
    SimServer& sim_;
    QString user_, session_;
    qint64 message_ = 0, log_ = 0, bell_ = 0, num_ = 0;
};

}  // namespace sim_call
