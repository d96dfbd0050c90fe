#include "DesktopNotifierDbus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QVariantMap>

#include "base/AppInfo.h"

namespace {
const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";
const char kInterface[] = "org.freedesktop.Notifications";
const char kDefaultAction[] = "default";

QDBusMessage Call(const char* method) {
    return QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                          QLatin1String(kInterface), QLatin1String(method));
}
}  // namespace

DesktopNotifierDbus::DesktopNotifierDbus(const QDBusConnection& bus, QObject* parent)
    : DesktopNotifier(parent), bus_(bus) {
    if (!bus_.isConnected())
        return;
    bus_.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                 QStringLiteral("ActionInvoked"), this, SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                 QStringLiteral("NotificationClosed"), this, SLOT(OnClosed(uint, uint)));
}

bool DesktopNotifierDbus::Available() const {
    QDBusConnectionInterface* bus = bus_.isConnected() ? bus_.interface() : nullptr;
    if (!bus)
        return false;
    const QString service = QLatin1String(kService);
    // A service the bus starts on the first call counts as running.
    return bus->isServiceRegistered(service).value() ||
           bus->activatableServiceNames().value().contains(service);
}

QString DesktopNotifierDbus::BodyText(const QString& body, const QStringList& capabilities) {
    // Message text is the sender's: "<" or "&" in it must show as typed, never as markup.
    return capabilities.contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;
}

void DesktopNotifierDbus::Show(const QString& title, const QString& body, int key) {
    if (!bus_.isConnected())
        return;
    if (capabilities_known_)
        Notify(title, body, key);
    else
        AskCapabilities(title, body, key);
}

void DesktopNotifierDbus::AskCapabilities(const QString& title, const QString& body, int key) {
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(Call("GetCapabilities")), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body, key] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (reply.isError()) {
            qDebug().noquote() << "!!! DesktopNotifierDbus: GetCapabilities:"
                               << reply.error().message();
            return;
        }
        capabilities_ = reply.value();
        capabilities_known_ = true;
        Notify(title, body, key);
    });
}

void DesktopNotifierDbus::Notify(const QString& title, const QString& body, int key) {
    const QString desktop_id = QString::fromLatin1(AppInfo::kDesktopId);
    QDBusMessage call = Call("Notify");
    const QVariantMap hints = {{QStringLiteral("desktop-entry"), desktop_id},
                               {QStringLiteral("category"), QStringLiteral("im.received")}};
    const QStringList actions = {QLatin1String(kDefaultAction), QStringLiteral("打开")};
    call << QStringLiteral("Coralbridge") << last_id_ << desktop_id << title
         << BodyText(body, capabilities_) << actions << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, key] { OnNotifyReply(watcher, key); });
}

void DesktopNotifierDbus::OnNotifyReply(QDBusPendingCallWatcher* watcher, int key) {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        // Only the error: the notice itself holds message text.
        qDebug().noquote() << "!!! DesktopNotifierDbus: Notify:" << reply.error().message();
        return;
    }
    keys_.remove(last_id_);
    last_id_ = reply.value();
    keys_.insert(last_id_, key);
}

void DesktopNotifierDbus::OnActionInvoked(uint id, const QString& action) {
    if (action == QLatin1String(kDefaultAction) && keys_.contains(id))
        emit activated(keys_.value(id));
}

void DesktopNotifierDbus::OnClosed(uint id, uint /*reason*/) {
    keys_.remove(id);
    if (id == last_id_)
        last_id_ = 0;
}
