#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
const int kNotifyTimeoutMs = 2000;
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName() {
    const QByteArray user =
        QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("coralbridge-%1").arg(QString::fromLatin1(user.left(16)));
}

bool SingleInstance::Claim() {
    // The lock decides; a lock left by a crashed copy is recognised by its dead process id.
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(name_ + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            NotifyRunningCopy();
            return false;
        }
        qDebug() << "!!! SingleInstance: cannot use the lock file, running unguarded";
        return true;
    }
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_))
        qDebug().noquote() << "!!! SingleInstance: listen failed:" << server_->errorString();
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

void SingleInstance::NotifyRunningCopy() const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kNotifyTimeoutMs)) {
        qDebug() << "!!! SingleInstance: the running copy does not answer";
        return;
    }
    socket.write("show\n");
    socket.waitForBytesWritten(kNotifyTimeoutMs);
    socket.disconnectFromServer();
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromServer();
        emit activate_requested();
    }
}
