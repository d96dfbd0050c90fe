#pragma once

#include <QObject>
#include <QString>
#include <memory>

// The desktop's notifications (the bubbles of the session's notification service). The rest of
// the program sees only this interface, never how a notice travels.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether a notification service runs now; asked before each notice, as a service may
    // start or end at any time.
    virtual bool Available() const = 0;
    // Shows a notice in plain text, replacing the previous one of this notifier. A click on it
    // reports `key` through `activated`.
    virtual void Show(const QString& title, const QString& body, int key) = 0;

    // The session's notifier; null where the platform has none.
    static std::unique_ptr<DesktopNotifier> Create();

signals:
    void activated(int key);
};
