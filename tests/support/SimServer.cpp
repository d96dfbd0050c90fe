#include "SimServer.h"

#include <QDebug>

namespace {

SimOptions Options(int hold_ms, int echo_delay_ms, std::function<void(const std::string&)> log) {
    SimOptions options;
    options.port = 0;
    options.hold_ms = hold_ms;
    options.echo_delay_ms = echo_delay_ms;
    options.log = std::move(log);
    return options;
}

std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace

SimServer::SimServer(int hold_ms, int echo_delay_ms)
    : sim_(Options(hold_ms, echo_delay_ms, [this](const std::string& line) { Count(line); })) {
    std::string error;
    running_ = sim_.Start(&error);
    if (!running_)
        qWarning().noquote() << "SimServer: platform-sim did not start:"
                             << QString::fromStdString(error);
}

SimServer::~SimServer() {
    sim_.Stop();
}

// Runs on the simulator's threads. A line starts "<verb> <name> user=...".
void SimServer::Count(const std::string& line) {
    const QString text = QString::fromStdString(line);
    qDebug().noquote() << "platform-sim:" << text;
    const QString name = text.section(QLatin1Char(' '), 1, 1);
    QMutexLocker lock(&answered_mutex_);
    ++answered_[name];
}

int SimServer::Answered(const QString& name) const {
    QMutexLocker lock(&answered_mutex_);
    return answered_.value(name);
}

int SimServer::Port() const {
    return sim_.Port();
}

QString SimServer::VendorHost() const {
    return QStringLiteral("127.0.0.1:%1").arg(Port());
}

QString SimServer::UnitBase(const QString& unit_id) const {
    return QString::fromStdString(sim_.UnitUrl(S(unit_id)));
}

QString SimServer::UnitRecord(const QString& unit_id) const {
    return QString::fromStdString(sim_.UnitRecord(S(unit_id)));
}

QString SimServer::OpenSession(const QString& user) {
    return QString::fromStdString(sim_.OpenSession(S(user)).text);
}

qint64 SimServer::SendChat(const QString& from, const QString& to, const QString& text) {
    return sim_.SendChat(S(from), S(to), S(text)).id;
}

qint64 SimServer::SendFile(const QString& from, const QString& to, int msg_type,
                           const QString& name, const QByteArray& data, int seconds) {
    return sim_.SendFile(S(from), S(to), msg_type, S(name), data.toStdString(), seconds).id;
}

qint64 SimServer::Remind(const QString& to, int remind_id, const QString& text,
                         const QString& url) {
    return sim_.Remind(S(to), remind_id, S(text), S(url)).id;
}

bool SimServer::SetUnread(const QString& user, int remind_id, int num) {
    return sim_.SetUnread(S(user), remind_id, num).ok;
}

int SimServer::ExpireSessions(const QString& user) {
    return static_cast<int>(sim_.ExpireSessions(S(user)).id);
}

void SimServer::SetFault(const QString& method, FaultKind kind, int value, int count) {
    sim_.SetFault({S(method), kind, value, count});
}

bool SimServer::HasFault(const QString& method) const {
    return sim_.HasFault(S(method));
}

void SimServer::ClearFaults(const QString& method) {
    sim_.ClearFaults(S(method));
}

bool SimServer::Publish(const QString& version, const QString& file_name, const QByteArray& data) {
    return sim_.Publish(S(version), S(file_name), data.toStdString()).ok;
}
