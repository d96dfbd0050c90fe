#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QStringList>

#include "DesktopNotifier.h"

class QDBusPendingCallWatcher;

// Notices through the freedesktop notification service (org.freedesktop.Notifications) on the
// session bus. Every call is asynchronous: a slow or hanging service never blocks the window.
class DesktopNotifierDbus : public DesktopNotifier {
    Q_OBJECT
public:
    explicit DesktopNotifierDbus(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);

    bool Available() const override;
    void Show(const QString& title, const QString& body, int key) override;

    // The service's id of the notice on screen; 0 when none is (or its id has not come back).
    uint ShownId() const { return last_id_; }
    // The body as the service shows it: escaped where the service reads markup.
    static QString BodyText(const QString& body, const QStringList& capabilities);

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    void AskCapabilities(const QString& title, const QString& body, int key);
    void Notify(const QString& title, const QString& body, int key);
    void OnNotifyReply(QDBusPendingCallWatcher* watcher, int key);

    QDBusConnection bus_;
    bool capabilities_known_ = false;
    QStringList capabilities_;
    // The notice on screen, replaced by the next one.
    uint last_id_ = 0;
    QHash<uint, int> keys_;
};
