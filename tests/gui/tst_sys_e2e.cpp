// System messages against platform-sim: a reminder raised through the control interface shows
// on the system page with its count, the list's system entry gets the total, a click
// opens the reminder's page on the platform (or says the kind is not for the PC), looking at
// the page reads them, and every address the client builds is answered by a page.

#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QtTest>

#include "GuiTestUtil.h"
#include "MainWindowTestUtil.h"
#include "base/SqlExec.h"
#include "chat/MessageItemSys.h"
#include "chat/MessagePageSys.h"
#include "engine/ExternalLink.h"
#include "engine/MsgController.h"
#include "engine/MsgParse.h"
#include "tests/sim/SimCall.h"
#include "tests/support/QueuedSpy.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

// What the desktop would open in the browser.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

namespace {

// The row of a category on the system page; null when it has none.
MessageItemSys* RowOf(MessagePageSys* page, int remind_id, int* index = nullptr) {
    QListWidget* list = page->List();
    for (int row = 0; row < list->count(); ++row) {
        auto* item = qobject_cast<MessageItemSys*>(list->itemWidget(list->item(row)));
        if (item && item->RemindId() == remind_id) {
            if (index)
                *index = row;
            return item;
        }
    }
    return nullptr;
}

QLabel* Label(MessageItemSys* row, const char* name) {
    return row ? row->findChild<QLabel*>(QLatin1String(name)) : nullptr;
}

void Click(MessagePageSys* page, int remind_id) {
    int row = -1;
    QVERIFY(RowOf(page, remind_id, &row));
    QListWidget* list = page->List();
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
}

}  // namespace

class TestSysE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(w_.Ready());
        QDesktopServices::setUrlHandler("http", &links_, "Open");
    }
    void init() {
        gui_test::ResetAccounts();
        links_.urls.clear();
        QVERIFY(w_.Open(false));
    }
    void cleanup() { w_.main.reset(); }
    void reminderShowsCountsAndOpensItsPage();
    void everyAddressIsAPage();

private:
    SimWindow w_;
    LinkCatcher links_;
};

void TestSysE2e::reminderShowsCountsAndOpensItsPage() {
    QueuedSpy fixes(w_.main->Engine()->Parse(), &MsgParse::fix_sys_msg_count_ui);
    w_.main->StartEngine();
    MessagePageSys* page = w_.main->PageMgr()->SysPage();
    QTRY_VERIFY_WITH_TIMEOUT(RowOf(page, 9701), 10000);
    const qint64 id = w_.sim.Remind("zhanglei", 9417, "关于期末考试安排的通知",
                                    "Web/Notice/NoticeView.aspx?Notice_ID=401");
    QVERIFY(id > 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        Label(RowOf(page, 9417), "short_msg_lab")->toolTip() == "关于期末考试安排的通知" ||
            Label(RowOf(page, 9417), "short_msg_lab")->text() == "关于期末考试安排的通知",
        10000);
    MessageItemSys* notice = RowOf(page, 9417);
    QCOMPARE(Label(notice, "count_lab")->text(), QString("2"));
    // Unread categories first; 9425 is not counted and so not listed.
    int row = -1;
    RowOf(page, 9417, &row);
    QVERIFY(row < page->UnreadRows());
    QVERIFY(!RowOf(page, 9425));
    // The list's system entry counts what the categories count.
    const int total = engine_test::Count("SELECT SUM(num) FROM num_update WHERE iscount=1");
    QVERIFY(total >= 2);
    QTRY_COMPARE(engine_test::Number(0), total);

    w_.main->PageMgr()->OnConnectItemChanged(0, "系统消息");
    Click(page, 9417);
    QTRY_COMPARE(links_.urls.size(), 1);
    QCOMPARE(links_.urls.at(0).toString(QUrl::None),
             w_.sim.UnitBase() + "//Web/Notice/NoticeView.aspx?Notice_ID=401");

    gui_test::ModalAnswerer answerer;
    Click(page, 9421);
    QTRY_COMPARE(answerer.Boxes(),
                 QStringList({"提示|PC客户端暂未上线，请到手机端查看。敬请期待"}));

    // Looked at, the reminders are read: the counts and the list's total go to 0.
    QTRY_VERIFY_WITH_TIMEOUT(!fixes.isEmpty() && fixes.last().at(0).toInt() == 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!Label(RowOf(page, 9417), "count_lab")->isVisibleTo(page), 10000);
    QCOMPARE(page->UnreadRows(), 0);
}

void TestSysE2e::everyAddressIsAPage() {
    w_.main->StartEngine();
    const QString stored = "SELECT COUNT(*) FROM message_all WHERE other_id = 0";
    QTRY_VERIFY_WITH_TIMEOUT(engine_test::Count(stored) >= 28, 10000);
    const QList<QVariantMap> reminders = SqlExec::SelectRows(
        "SELECT other_id2, url FROM message_all WHERE other_id = 0 ORDER BY id");
    int pages = 0;
    for (const QVariantMap& reminder : reminders) {
        for (bool found : {true, false}) {
            bool unsupported = false;
            const QString path =
                ExternalLink::PathFor(reminder.value("other_id2").toInt(),
                                      reminder.value("url").toString(), found, &unsupported);
            if (path.isEmpty())
                continue;
            const QString link = ExternalLink::LinkFor(w_.sim.UnitBase(), path);
            QVERIFY2(sim_call::Get(link).contains("<h1>"), qPrintable(link));
            ++pages;
        }
    }
    QVERIFY(pages >= 30);
}

CORAL_TEST_MAIN(TestSysE2e)
#include "tst_sys_e2e.moc"
