#include <QDBusConnection>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QtTest>

#include "GuiTestUtil.h"
#include "app/AppController.h"
#include "app/CustomSysTray.h"
#include "app/MessageNotice.h"
#include "app/TrayNoticeWid.h"
#include "base/AppInfo.h"
#include "chat/BtnWithBubble.h"
#include "chat/MainWidget.h"
#include "platform/DesktopNotifierDbus.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

// How a new message is told: the tray and desktop notices, the latter to a fake notification
// service on a private session bus.

namespace {

// The methods and signals of org.freedesktop.Notifications that the program uses.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        uint replaces_id;
        QString app_icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    explicit FakeNotifications(const QDBusConnection& bus) : bus_(bus) {}
    bool Register() {
        return bus_.registerObject(
                   QStringLiteral("/org/freedesktop/Notifications"), this,
                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    void Unregister() {
        bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    QStringList capabilities = {QStringLiteral("body"), QStringLiteral("actions")};
    QList<Notice> notices;
    uint last_id = 0;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString&, uint replaces_id, const QString& app_icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        notices.append({replaces_id, app_icon, summary, body, actions, hints});
        return replaces_id != 0 ? replaces_id : ++last_id;
    }
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
    void ActionInvoked(uint id, const QString& action_key);
    void NotificationClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
};

}  // namespace

class TestDesktopNotice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { bus_.close(); }
    void init();
    void cleanup();
    void noticeReachesTheService();
    void clicksAndAMissingService();
    void textOfANotice();
    void newMessageFlashesNoticesAndOpensTheWindow();

private:
    QDBusConnection Connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

    QTemporaryDir bus_dir_;
    QProcess bus_;
    QString address_;
    std::unique_ptr<FakeNotifications> service_;
};

void TestDesktopNotice::initTestCase() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        QSKIP("dbus-daemon is not installed (package dbus-daemon)");
    QFile config(bus_dir_.filePath(QStringLiteral("bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                "<auth>EXTERNAL</auth><policy context=\"default\">"
                                "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                                "<allow own=\"*\"/></policy></busconfig>\n")
                     .arg(bus_dir_.path())
                     .toUtf8());
    config.close();
    bus_.start(program, {QStringLiteral("--config-file=") + config.fileName(),
                         QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    while (!bus_.canReadLine() && bus_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    if (address_.isEmpty())
        QSKIP(qPrintable("dbus-daemon did not start: " + bus_.errorString()));
    // Before the first use of the session bus, which the program takes from here.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}

void TestDesktopNotice::init() {
    ResetApp();
    service_ = std::make_unique<FakeNotifications>(Connect("service"));
    QVERIFY(service_->Register());
}

void TestDesktopNotice::cleanup() {
    if (service_)
        service_->Unregister();
    service_.reset();
}

void TestDesktopNotice::noticeReachesTheService() {
    for (const bool markup : {false, true}) {
        service_->capabilities = QStringList{"body", "actions"};
        if (markup)
            service_->capabilities << "body-markup";
        service_->notices.clear();
        DesktopNotifierDbus notifier(Connect(markup ? "markup" : "plain"));
        QVERIFY(notifier.Available());
        notifier.Show(QStringLiteral("王芳"), QStringLiteral("<b>a</b> & b"), 10002);
        QTRY_COMPARE(service_->notices.size(), 1);
        const FakeNotifications::Notice& first = service_->notices.first();
        QCOMPARE(first.summary, QStringLiteral("王芳"));
        // The sender's text shows as typed, also where the service reads markup.
        QCOMPARE(first.body, markup ? QStringLiteral("&lt;b&gt;a&lt;/b&gt; &amp; b")
                                    : QStringLiteral("<b>a</b> & b"));
        QCOMPARE(first.replaces_id, 0u);
        QVERIFY(first.actions.contains("default"));
        QCOMPARE(first.app_icon, QString::fromLatin1(AppInfo::kDesktopId));
        QCOMPARE(first.hints.value("desktop-entry").toString(),
                 QString::fromLatin1(AppInfo::kDesktopId));

        // The next notice takes the place of the one on screen.
        QTRY_COMPARE(notifier.ShownId(), service_->last_id);
        notifier.Show(QStringLiteral("李明"), QStringLiteral("好的"), 10003);
        QTRY_COMPARE(service_->notices.size(), 2);
        QCOMPARE(service_->notices.at(1).replaces_id, service_->last_id);
    }
}

void TestDesktopNotice::clicksAndAMissingService() {
    DesktopNotifierDbus notifier(Connect("clicks"));
    QSignalSpy activated(&notifier, &DesktopNotifier::activated);
    notifier.Show(QStringLiteral("王芳"), QStringLiteral("一"), -301);
    QTRY_COMPARE(notifier.ShownId(), 1u);

    // Another program's notice, and another action of this one, open nothing.
    emit service_->ActionInvoked(77, "default");
    emit service_->ActionInvoked(1, "later");
    emit service_->ActionInvoked(1, "default");
    QTRY_COMPARE(activated.size(), 1);
    QCOMPARE(activated.first().at(0).toInt(), -301);

    // Once closed, the notice is forgotten: the next one is new, a late click opens nothing.
    emit service_->NotificationClosed(1, 2);
    emit service_->ActionInvoked(1, "default");
    QTRY_COMPARE(notifier.ShownId(), 0u);
    notifier.Show(QStringLiteral("王芳"), QStringLiteral("二"), 10002);
    QTRY_COMPARE(notifier.ShownId(), 2u);
    QCOMPARE(service_->notices.at(1).replaces_id, 0u);
    emit service_->ActionInvoked(2, "default");
    QTRY_COMPARE(activated.size(), 2);
    QCOMPARE(activated.at(1).at(0).toInt(), 10002);

    // Without a service, or a bus, nothing is shown and nothing breaks.
    service_->Unregister();
    DesktopNotifierDbus alone(Connect("alone"));
    QTRY_VERIFY(!alone.Available());

    DesktopNotifierDbus unreachable(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "nowhere"));
    QVERIFY(!unreachable.Available());
    unreachable.Show(QStringLiteral("王芳"), QStringLiteral("一"), 1);
}

void TestDesktopNotice::textOfANotice() {
    const auto row = [](int other_id, const QString& name, const QString& content, int type) {
        return QVariantMap{
            {"other_id", other_id}, {"other_name", name}, {"content", content}, {"msg_type", type}};
    };
    // A group message names its sender; the group is the conversation.
    const MessageNotice::Text text =
        MessageNotice::Compose(row(-301, "吴军", "明早集合", 1), 3, "三年级组");
    QCOMPARE(text.title, QStringLiteral("三年级组"));
    QCOMPARE(text.body, QStringLiteral("吴军:明早集合\n共 3 条新消息"));
    QCOMPARE(MessageNotice::Compose(row(-302, "吴军", "x", 1), 1, QString()).title,
             QStringLiteral("群消息"));

    // A file message tells its kind, never the local path or url.
    QCOMPARE(MessageNotice::Compose(row(10002, "王芳", "/tmp/a.docx", 2), 1, QString()).body,
             QStringLiteral("[文件]"));

    // An emoji outside the basic plane is kept whole or left out whole.
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    QCOMPARE(MessageNotice::Shorten("abc" + smile + "xyz", 5), QStringLiteral("abc…"));
    QCOMPARE(MessageNotice::Shorten("ab" + smile + "xyz", 5), "ab" + smile + "…");
}

// In front of the user a new message flashes the tray and fills its notice; away, it makes a
// desktop notice. A click on either brings the window back and ends the flashing.
void TestDesktopNotice::newMessageFlashesNoticesAndOpensTheWindow() {
    DemoApp app;
    QVERIFY(app.Start() && app.Settle());
    AppController& controller = *app.controller;
    TrayNoticeWid* notice = controller.Notice();
    MainWidget* main = app.Main();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    service_->notices.clear();
    QLabel* count =
        main->findChild<BtnWithBubble*>("msg_bubble_btn")->findChild<QLabel*>("count_lab");
    const int before = count->isHidden() ? 0 : count->text().toInt();
    controller.OnTrayHover();
    QVERIFY(notice->isHidden());

    const qint64 steady = controller.Tray()->icon().cacheKey();
    QVERIFY(app.sim.SendChat("liming", "zhanglei", QStringLiteral("我在办公室")) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(controller.Flashing(), 5000);
    QTRY_COMPARE(count->text().toInt(), before + 1);
    QVERIFY(!count->isHidden());
    QTRY_VERIFY(controller.Tray()->icon().cacheKey() != steady);
    QVERIFY(!notice->findChild<QLabel*>("tnw_msg_count_lab")->isHidden());

    controller.OnTrayHover();
    QVERIFY(!controller.Flashing());
    QVERIFY(notice->isVisible());
    // On screen, with a corner at the tray icon.
    const QRect popup = notice->geometry();
    const QPoint icon = controller.Tray()->geometry().topLeft();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(popup));
    QVERIFY(popup.left() == icon.x() || popup.right() + 1 == icon.x());
    QVERIFY(popup.top() == icon.y() || popup.bottom() + 1 == icon.y());

    // A left click on the message row (not a right one) opens the window on the message page.
    Button(main, "schedule_bubble_btn")->click();
    auto* stack = main->findChild<QStackedWidget*>("stacked_wid");
    QCOMPARE(stack->currentIndex(), 1);
    main->hide();
    auto* msg_row = notice->findChild<QWidget*>("tnw_item_msg_frame");
    QTest::mouseClick(msg_row, Qt::RightButton);
    QVERIFY(notice->isVisible());
    QTest::mouseClick(msg_row, Qt::LeftButton);
    QVERIFY(notice->isHidden());
    QTRY_VERIFY(main->isVisible());
    QTRY_COMPARE(stack->currentIndex(), 0);

    main->hide();
    QVERIFY(app.sim.SendChat("wangfang", "zhanglei", QStringLiteral("材料已经发您了")) > 0);
    // The message of 李明 came first: had it made a notice, that one would be first.
    QTRY_VERIFY_WITH_TIMEOUT(!service_->notices.isEmpty(), 5000);
    QCOMPARE(service_->notices.first().summary, QStringLiteral("王芳"));
    QCOMPARE(service_->notices.first().body, QStringLiteral("材料已经发您了"));
    QCOMPARE(service_->notices.size(), 1);
    QVERIFY(controller.Flashing());
    emit service_->ActionInvoked(service_->last_id, "default");
    QTRY_VERIFY(main->isVisible());
    QVERIFY(!controller.Flashing());

    controller.OnNotifyTray(10002, 4);
    controller.OnTrayHover();
    Button(notice, "tnw_ignore_btn")->click();
    QVERIFY(notice->isHidden());
    QVERIFY(!controller.Flashing());
}

CORAL_TEST_MAIN(TestDesktopNotice)

#include "tst_desktop_notice.moc"
