// The left panel on its own: the conversation list rebuilt from records, the contact trees
// filled node by node, avatars, and what a click opens.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>

#include "login/ConnectMsgListItem.h"
#include "login/ConnectWid.h"
#include "login/SearchBox.h"
#include "tests/engine/EngineTestEnv.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

ConnectListItemInfo* Conversation(int other_id, const QString& name, int number = 0,
                                  int msg_type = 1, const QString& content = "好的") {
    auto* info = new ConnectListItemInfo;
    info->other_id = other_id;
    info->other_name = name;
    info->number = number;
    info->msg_type = msg_type;
    info->content = content;
    return info;
}

QList<int> Range(int first, int last) {
    QList<int> ids;
    for (int id = first; id <= last; ++id)
        ids << id;
    return ids;
}

ConnectListItemInfoPointers List(const QList<int>& ids) {
    ConnectListItemInfoPointers list;
    for (int id : ids)
        list << Conversation(id, QStringLiteral("会话%1").arg(id));
    return list;
}

QLabel* Label(QWidget* row, const char* name) {
    return row->findChild<QLabel*>(QLatin1String(name));
}

bool HasPicture(QLabel* label) {
    return !label->pixmap(Qt::ReturnByValue).isNull();
}

void SavePicture(int id) {
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::darkYellow);
    QVERIFY(image.save(QStringLiteral("%1/%2.png").arg(Account::AvatarPath()).arg(id)));
}

}  // namespace

class TestConnectWid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowsShowNamePreviewAndCount();
    void selectionKeptAcrossRebuilds();
    void firstListOpensItsTopConversation();
    void rowsOutOfViewAreRightOnceScrolledTo();
    void longListKeepsAScreenfulOfRowWidgets();
    void conversationChosenInSearchShowsInTheList();
    void avatarsComeFromTheFolderOnReady();
    void groupRowsAndLeaves();
    void brokenEntriesAndStrayNodes();
    void replyAfterPanelIsGone();

private:
    // A new panel, shown, with its spy on what it opens.
    void OpenPanel();
    ConnectMsgListItem* Row(int row) const;
    QList<int> RowIds() const;
    QTreeWidgetItem* Root(int index) const { return tree_->topLevelItem(index); }
    ConnectMsgListItem* Leaf(QTreeWidgetItem* item) const;

    TestHttpServer* server_ = nullptr;
    ConnectWid* panel_ = nullptr;
    QListWidget* list_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QSignalSpy* opened_ = nullptr;
};

void TestConnectWid::init() {
    // Directories answer nothing usable: the trees hold only what a test puts in.
    server_ = new TestHttpServer;
    QVERIFY(SignIn(server_->Url("/")));
    OpenPanel();
}

void TestConnectWid::OpenPanel() {
    panel_ = new ConnectWid;
    panel_->Init();
    // Only rows in view have a widget: the window's height holds ten.
    panel_->resize(203, 700);
    panel_->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel_));
    list_ = panel_->findChild<QListWidget*>("connect_list");
    tree_ = panel_->findChild<QTreeWidget*>("group_tree");
    delete opened_;
    opened_ = new QSignalSpy(panel_, &ConnectWid::connect_item_changed);
}

void TestConnectWid::cleanup() {
    delete opened_;
    opened_ = nullptr;
    delete panel_;
    delete server_;
}

ConnectMsgListItem* TestConnectWid::Row(int row) const {
    return panel_->RowWidget(row);
}

QList<int> TestConnectWid::RowIds() const {
    QList<int> ids;
    for (int i = 0; i < list_->count(); ++i)
        ids << Row(i)->OtherId();
    return ids;
}

ConnectMsgListItem* TestConnectWid::Leaf(QTreeWidgetItem* item) const {
    return qobject_cast<ConnectMsgListItem*>(tree_->itemWidget(item, 0));
}

void TestConnectWid::rowsShowNamePreviewAndCount() {
    const QString long_name = QStringLiteral("鹿鸣实验小学三年级二班家长委员会");
    // Sent by the user: no sender in front.
    ConnectListItemInfo* own_video = Conversation(-301, "运动会筹备讨论组", 0, 5);
    own_video->send_or_receive = 1;
    panel_->UpdateConnectList({Conversation(0, "通知", 3, 0, "期中考试"),
                               Conversation(10002, "王芳", 7, 1, "材料\n已经发您了"),
                               Conversation(10003, long_name, 0, 2, "plan.docx"),
                               Conversation(10004, "赵丽", 0, 3), Conversation(10005, "孙浩", 0, 4),
                               own_video, Conversation(10006, "周欣", 0, 9)});
    QStringList names, previews, counts;
    for (int i = 0; i < list_->count(); ++i) {
        names << Label(Row(i), "one_name_lab")->text();
        previews << Label(Row(i), "one_short_msg_lab")->text();
        QLabel* count = Label(Row(i), "count_lab");
        counts << (count->isHidden() ? QString("-") : count->text());
    }
    QCOMPARE(previews, QStringList({"通知:期中考试", "材料 已经发您了", "[文件]", "[图片]",
                                    "[语音]", "[视频]", ""}));
    QCOMPARE(counts, QStringList({"3", "7", "-", "-", "-", "-", "-"}));
    QCOMPARE(names.first(), QStringLiteral("系统消息"));
    QVERIFY(names.at(2).endsWith(QChar(0x2026)));
    QCOMPARE(Label(Row(2), "one_name_lab")->toolTip(), long_name);

    // Fewer conversations leave no old rows behind; the system count is fixed in place.
    panel_->UpdateConnectList({Conversation(10004, "赵丽", 2), Conversation(0, "通知", 3, 0)});
    QCOMPARE(RowIds(), QList<int>({10004, 0}));
    QCOMPARE(Label(Row(0), "one_name_lab")->text(), QStringLiteral("赵丽"));
    panel_->OnFixSysMsgCount(0);
    QVERIFY(Label(Row(1), "count_lab")->isHidden());
    panel_->OnFixSysMsgCount(12);
    QCOMPARE(Label(Row(1), "count_lab")->text(), QString("12"));
    QVERIFY(!Label(Row(1), "count_lab")->isHidden());
}

void TestConnectWid::selectionKeptAcrossRebuilds() {
    panel_->UpdateConnectList(List({10002, 10003, -301}));
    list_->setCurrentRow(1);
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->last(), QVariantList({10003, QStringLiteral("会话10003")}));

    panel_->UpdateConnectList(List({-301, 10002, 10004, 10003}));
    QCOMPARE(list_->currentRow(), 3);
    QVERIFY(list_->item(3)->isSelected());
    panel_->UpdateConnectList(List({10002, -301}));
    QCOMPARE(list_->currentRow(), -1);
    panel_->UpdateConnectList(List({10003, 10002}));
    QCOMPARE(list_->currentRow(), 0);
    // Rebuilds opened nothing; the next choice is the next one opened.
    list_->setCurrentRow(1);
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->size(), 2);
    QCOMPARE(opened_->last().at(0).toInt(), 10002);

    // Chosen by id: highlighted once it arrives, but not opened; the next click is.
    panel_->SelectConversation(10009);
    QCOMPARE(list_->currentRow(), -1);
    panel_->UpdateConnectList(List({10009, 10002, 10003}));
    QCOMPARE(list_->currentRow(), 0);
    list_->setCurrentRow(2);
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->size(), 3);
    QCOMPARE(opened_->last().at(0).toInt(), 10003);
}

void TestConnectWid::firstListOpensItsTopConversation() {
    QSignalSpy avatars(panel_, &ConnectWid::req_avatar);
    ConnectListItemInfoPointers first = List({10002, 10003});
    first.first()->selected = true;
    panel_->UpdateConnectList(first);
    // Rebuilt again before the choice is acted on: it still opens the conversation chosen.
    panel_->UpdateConnectList(List({10003, 10004, 10002}));
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->first(), QVariantList({10002, QStringLiteral("会话10002")}));
    QCOMPARE(list_->currentRow(), 2);
    // No picture on disk yet: choosing asks for one.
    QCOMPARE(avatars.size(), 1);
    QCOMPARE(avatars.first().at(0).toString(), QString("10002"));
}

void TestConnectWid::rowsOutOfViewAreRightOnceScrolledTo() {
    const QList<int> ids = Range(10001, 10040);
    QList<int> moved = ids;
    moved.prepend(moved.takeLast());
    const auto final_list = [&] {
        ConnectListItemInfoPointers list = List(moved);
        list.last()->content = QStringLiteral("最后一条");
        return list;
    };
    const auto scroll_to_end = [](ConnectWid* panel) {
        auto* list = panel->findChild<QListWidget*>("connect_list");
        // The list lays its rows out, and sets the scroll range, once the loop runs.
        QApplication::processEvents();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QApplication::processEvents();
    };
    // What a window shows of its conversation list.
    const auto shown = [](ConnectWid* panel) {
        QApplication::processEvents();
        auto* list = panel->findChild<QListWidget*>("connect_list");
        const QRect area(list->viewport()->mapTo(panel, QPoint()), list->viewport()->size());
        return panel->screen()->grabWindow(panel->winId()).toImage().copy(area);
    };

    panel_->UpdateConnectList(List(ids));
    QApplication::processEvents();
    // A message to the last conversation changes every row, most of them out of view; then
    // the rows scrolled to change again.
    panel_->UpdateConnectList(List(moved));
    scroll_to_end(panel_);
    panel_->UpdateConnectList(final_list());

    // The same list drawn with every row painting freely.
    ConnectWid fresh;
    fresh.Init();
    fresh.resize(panel_->size());
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    fresh.UpdateConnectList(final_list());
    scroll_to_end(&fresh);
    const QImage expected = shown(&fresh);
    QVERIFY(!expected.isNull());
    QCOMPARE(shown(panel_), expected);
}

void TestConnectWid::longListKeepsAScreenfulOfRowWidgets() {
    const QList<int> ids = Range(20001, 21000);
    panel_->UpdateConnectList(List(ids));
    QApplication::processEvents();
    const int in_view = list_->viewport()->height() / ConnectMsgListItem::kRowHeight + 2;
    QVERIFY(panel_->findChildren<ConnectMsgListItem*>().size() <= in_view);
    QVERIFY(!Row(in_view + 1));

    list_->scrollToItem(list_->item(500), QAbstractItemView::PositionAtTop);
    ConnectMsgListItem* row = Row(500);
    QVERIFY(row && row->isVisible());
    QCOMPARE(Label(row, "one_name_lab")->text(), QStringLiteral("会话20501"));
    QCOMPARE(row->geometry(), list_->visualItemRect(list_->item(500)));
    QVERIFY(!Row(0));

    // A click on the row's widget chooses the row under it.
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(60, 30));
    QCOMPARE(list_->currentRow(), 500);
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->last().at(0).toInt(), 20501);

    // A shorter list leaves no widget showing a row that is gone.
    panel_->UpdateConnectList(List(ids.mid(0, 3)));
    QApplication::processEvents();
    QCOMPARE(Label(Row(2), "one_name_lab")->text(), QStringLiteral("会话20003"));
    int shown = 0;
    for (ConnectMsgListItem* widget : panel_->findChildren<ConnectMsgListItem*>())
        shown += widget->isVisible() ? 1 : 0;
    QCOMPARE(shown, 3);
}

void TestConnectWid::conversationChosenInSearchShowsInTheList() {
    panel_->resize(203, 500);
    panel_->UpdateConnectList(List(Range(10001, 10020)));
    QApplication::processEvents();
    // The results stand in front of the list while a search is typed; a conversation chosen
    // there far down the list is the one the list shows selected once the search ends.
    QLineEdit* edit = panel_->findChild<SearchBox*>()->Edit();
    QTest::keyClicks(edit, QStringLiteral("10"));
    QTRY_VERIFY(!list_->isVisible());
    panel_->SelectConversation(10018);
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(list_->isVisible());
    QApplication::processEvents();
    const QRect rect = list_->visualItemRect(list_->currentItem());
    QVERIFY(list_->viewport()->rect().contains(rect));
    const QPoint centre = list_->viewport()->mapTo(panel_, rect.center());
    auto* row = qobject_cast<ConnectMsgListItem*>(panel_->childAt(centre)->parentWidget());
    if (!row)
        row = qobject_cast<ConnectMsgListItem*>(panel_->childAt(centre));
    QVERIFY(row);
    QCOMPARE(row->OtherId(), 10018);
}

void TestConnectWid::avatarsComeFromTheFolderOnReady() {
    SavePicture(10003);
    panel_->UpdateConnectList(List({10002, 10003}));
    QLabel* waiting = Label(Row(0), "one_avatar_lab");
    QVERIFY(!HasPicture(waiting));
    QVERIFY(HasPicture(Label(Row(1), "one_avatar_lab")));

    // A picture that arrived without its signal is not looked for on every rebuild.
    SavePicture(10002);
    panel_->UpdateConnectList(List({10002, 10003}));
    QVERIFY(!HasPicture(waiting));
    panel_->OnAvatarReady(10002);
    QVERIFY(HasPicture(waiting));

    // A row that moves to another conversation drops the old picture.
    panel_->UpdateConnectList(List({10004, 10003}));
    QVERIFY(!HasPicture(Label(Row(0), "one_avatar_lab")));

    // Contacts of the unit tree show theirs, and ask once for a missing one when in view.
    QSignalSpy asked(panel_, &ConnectWid::req_avatar);
    panel_->LoadUnitGroupTree({"10003,李明", "10005,孙浩", "10005,孙浩"}, Root(0));
    QCOMPARE(Root(0)->childCount(), 3);
    QVERIFY(HasPicture(Label(Leaf(Root(0)->child(0)), "leaf_avatar_lab")));
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().at(0).toString(), QString("10005"));
    SavePicture(10005);
    panel_->OnAvatarReady(10005);
    QVERIFY(HasPicture(Label(Leaf(Root(0)->child(1)), "leaf_avatar_lab")));
    QVERIFY(HasPicture(Label(Leaf(Root(0)->child(2)), "leaf_avatar_lab")));
    // Members of public groups keep the default picture.
    panel_->LoadPublicGroupTree({"10003,李明"}, Root(1));
    QVERIFY(!HasPicture(Label(Leaf(Root(1)->child(0)), "leaf_avatar_lab")));
}

// Group ids reaching the message store are covered in tst_app_flow.
void TestConnectWid::groupRowsAndLeaves() {
    // A received group message names its sender; the row is titled by the group once known.
    panel_->UpdateConnectList(
        {Conversation(-301, "郑宇", 1, 1, "跑道划线"), Conversation(-101, "全体教师群", 0, 3)});
    QCOMPARE(Label(Row(0), "one_short_msg_lab")->text(), QStringLiteral("郑宇:跑道划线"));
    QCOMPARE(Label(Row(1), "one_short_msg_lab")->text(), QStringLiteral("全体教师群:[图片]"));
    QCOMPARE(Label(Row(0), "one_name_lab")->text(), QStringLiteral("郑宇"));
    QSignalSpy members(panel_, &ConnectWid::updata_public_group_item);
    panel_->LoadPublicGroupTree({"-101,全体教师群,10001,张磊,全校,1", "10002,王芳"}, Root(1));
    panel_->LoadDiscussGroupTree({"-301,运动会筹备讨论组", "-302,期末考试讨论组"}, Root(3));
    QCOMPARE(members.last().at(0).toString(), QString("-101"));
    QCOMPARE(Row(0)->Name(), QStringLiteral("运动会筹备讨论组"));
    panel_->UpdateConnectList(
        {Conversation(-101, "王芳", 0, 1, "收到"), Conversation(-301, "郑宇", 1, 1, "跑道划线")});
    QCOMPARE(Label(Row(0), "one_name_lab")->text(), QStringLiteral("全体教师群"));

    // A discussion group is a leaf that opens the group's conversation.
    emit tree_->itemClicked(Root(3)->child(1), 0);
    QCOMPARE(opened_->last(), QVariantList({-302, QStringLiteral("期末考试讨论组")}));
}

void TestConnectWid::brokenEntriesAndStrayNodes() {
    panel_->LoadUnitGroupTree({"10001", "", ",", "10002,王芳", "x,访客"}, Root(0));
    QCOMPARE(Root(0)->childCount(), 2);
    QCOMPARE(Leaf(Root(0)->child(0))->Name(), QStringLiteral("王芳"));
    // A leaf without a numeric id opens nothing.
    emit tree_->itemClicked(Root(0)->child(1), 0);
    QVERIFY(opened_->isEmpty());

    panel_->LoadPublicGroupTree({"10002,王芳"}, nullptr);
    QTreeWidget other;
    auto* foreign = new QTreeWidgetItem(&other);
    panel_->LoadUserGroupTree({"10002,王芳"}, foreign);
    QCOMPARE(foreign->childCount(), 0);
}

void TestConnectWid::replyAfterPanelIsGone() {
    const QByteArray someone =
        Envelope({{"EID", "0"}, {"R", QJsonObject{{"ID", "10001"}, {"Name", "张磊"}}}});
    server_->Reply(200, someone);
    QSignalSpy received(server_, &TestHttpServer::received);
    // The old panel goes while its directory replies are on their way.
    delete panel_;
    OpenPanel();
    QVERIFY(received.wait());
    delete panel_;
    OpenPanel();
    QTRY_COMPARE(Root(0)->childCount() + Root(1)->childCount() + Root(2)->childCount(), 3);
    // Each root was filled once, by its own reply.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(Root(i)->childCount(), 1);
        QCOMPARE(Leaf(Root(i)->child(0))->Name(), QStringLiteral("张磊"));
    }
    QCOMPARE(Root(3)->childCount(), 0);
}

CORAL_TEST_MAIN(TestConnectWid)
#include "tst_connect_wid.moc"
