// The system-message page: categories with unread reminders first, each group newest on top, and
// the row's count, text and date. Icons and clicks are tried against platform-sim (tst_sys_e2e).

#include <QLabel>
#include <QListWidget>
#include <QtTest>

#include "ChatTestUtil.h"
#include "chat/MessageItemSys.h"
#include "chat/MessagePageSys.h"
#include "tests/support/TestMain.h"

namespace {

MessageSysItemInfo* Category(int remind_id, const QString& name, int number,
                             const QString& content = "内容") {
    auto* record = new MessageSysItemInfo;
    record->remind_id = remind_id;
    record->other_name = name;
    record->number = number;
    record->content = content;
    record->message_id = remind_id * 10;
    record->send_date = QDateTime(QDate(2024, 5, 6), QTime(8, 5));
    return record;
}

MessageItemSys* Row(MessagePageSys& page, int row) {
    return qobject_cast<MessageItemSys*>(page.List()->itemWidget(page.List()->item(row)));
}

QLabel* Label(MessageItemSys* row, const char* name) {
    return row->findChild<QLabel*>(QLatin1String(name));
}

}  // namespace

class TestMessagePageSys : public QObject {
    Q_OBJECT
private slots:
    void unreadCategoriesComeFirst();
    void rowShowsIconCountTextAndDate();
};

void TestMessagePageSys::unreadCategoriesComeFirst() {
    MessagePageSys page;
    const MessageSysItemInfoPointers records = {Category(1, "第一", 2), Category(2, "第二", 0),
                                                Category(3, "第三", 1), Category(4, "第四", 0)};
    page.Refill(records);
    qDeleteAll(records);
    QStringList order;
    for (int row = 0; row < page.List()->count(); ++row)
        order << Label(Row(page, row), "remind_name_lab")->text();
    QCOMPARE(order, QStringList({"第三", "第一", "第四", "第二"}));
    QCOMPARE(page.UnreadRows(), 2);

    page.Refill({});
    QCOMPARE(page.List()->count(), 0);
    QCOMPARE(page.UnreadRows(), 0);
}

void TestMessagePageSys::rowShowsIconCountTextAndDate() {
    MessageItemSys row;
    std::unique_ptr<MessageSysItemInfo> notice(Category(9417, "通知", 3, "关于期末的通知"));
    row.SetData(*notice);
    QVERIFY(Label(&row, "count_lab")->isVisibleTo(&row));
    QCOMPARE(Label(&row, "count_lab")->text(), QString("3"));
    QCOMPARE(Label(&row, "date_lab")->text(), QString("05-06 08:05"));

    std::unique_ptr<MessageSysItemInfo> duty(Category(9419, "值班安排提醒", 0, "暂无新消息"));
    duty->send_date = QDateTime();
    row.SetData(*duty);
    QVERIFY(!Label(&row, "count_lab")->isVisibleTo(&row));
    QVERIFY(Label(&row, "date_lab")->text().isEmpty());
    // A long text is cut to the row, with all of it in the tool tip.
    const QString long_text(200, QChar(0x901a));
    duty->content = long_text;
    row.resize(400, 63);
    row.SetData(*duty);
    QVERIFY(Label(&row, "short_msg_lab")->text().size() < long_text.size());
    QCOMPARE(Label(&row, "short_msg_lab")->toolTip(), long_text);
}

CORAL_TEST_MAIN(TestMessagePageSys)
#include "tst_message_page_sys.moc"
