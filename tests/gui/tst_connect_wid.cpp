// The left panel: directory requests and replies per node, the conversation list, contact trees,
// avatars, what a click opens, and the history search (stale replies, paging, records freed once).

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>

#include "DeleteWatch.h"
#include "login/ConnectGroupHelper.h"
#include "login/ConnectMsgListItem.h"
#include "login/ConnectWid.h"
#include "login/SearchBox.h"
#include "login/SearchPanel.h"
#include "login/SearchResultDelegate.h"
#include "login/SearchResults.h"
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

// Handles only: the helper must hand them back without ever touching them.
QTreeWidgetItem* Handle(quintptr value) {
    return reinterpret_cast<QTreeWidgetItem*>(value);
}

quintptr Node(const QVariantList& call) {
    return reinterpret_cast<quintptr>(call.at(1).value<QTreeWidgetItem*>());
}

QByteArray Ok(const QJsonValue& records) {
    return Envelope({{"EID", "0"}, {"R", records}});
}

QJsonObject Group(const QString& id, const QString& name, const QString& tag = QString()) {
    return {{"Group_ID", id},           {"GroupName", name}, {"CreateUser_ID", "10001"},
            {"CreateUserName", "张磊"}, {"Tag", tag},        {"IsShow", "1"}};
}

QJsonObject Person(const QString& id, const QString& name) {
    return {{"User_ID", id}, {"UserName", name}};
}

constexpr int kWangFang = 10002;
constexpr int kExamGroup = -302;

MsgSearchItemInfo* Name(int other_id, const QString& name) {
    auto* item = new MsgSearchItemInfo;
    item->kind = MsgSearchItemInfo::kConversation;
    item->other_id = other_id;
    item->other_name = name;
    item->text = name;
    item->matches = SearchText::Find(name, "期末");
    return item;
}

MsgSearchItemInfo* Message(int id, int other_id, const QString& text) {
    MsgSearchItemInfo* item = Name(other_id, other_id == kWangFang ? "王芳" : "期末考试讨论组");
    item->kind = MsgSearchItemInfo::kMessage;
    item->id = id;
    item->send_date = QDateTime::currentDateTime().addDays(-id);
    item->msg_type = 1;
    item->sender_name = "王芳";
    item->text = text;
    item->matches = SearchText::Find(text, "期末");
    return item;
}

// The first page of "期末": the exam group by name, two of its messages, one of 王芳's.
MsgSearchItemInfoPointers FirstPage() {
    return {Name(kExamGroup, "期末考试讨论组"), Message(30, kExamGroup, "期末命题放在群里商量"),
            Message(20, kExamGroup, "期末前两周停新课"), Message(10, kWangFang, "期末阅卷安排")};
}

void ScrollTo(SearchResults* results, bool end) {
    // Rows just added are laid out first.
    QCoreApplication::processEvents();
    QScrollBar* bar = results->verticalScrollBar();
    bar->setValue(end ? bar->maximum() : 0);
}

// Rows of the results as "<kind> <text>".
QStringList Rows(const SearchResults* results) {
    const char* kinds[] = {"section", "name", "header", "message", "footer", "empty"};
    QStringList rows;
    for (int row = 0; results->RowAt(row); ++row)
        rows << QStringLiteral("%1 %2").arg(kinds[results->RowAt(row)->kind],
                                            results->RowAt(row)->text);
    return rows;
}

}  // namespace

class TestConnectWid : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QTreeWidgetItem*>("QTreeWidgetItem*"); }
    void init();
    void cleanup();

    void eachNodeAsksItsMethod();
    void repliesComeBackToTheirNode();
    void repliesBecomeEntries();
    void rowsShowNamePreviewAndCount();
    void selectionKeptAcrossRebuilds();
    void longListKeepsAScreenfulOfRowWidgets();
    void conversationChosenInSearchShowsInTheList();
    void avatarsComeFromTheFolderOnReady();
    void brokenEntriesAndStrayNodes();
    void replyAfterPanelIsGone();
    void typingSearchesAndEscapeReturnsToTheList();
    void repliesToOlderRequestsAreDroppedAndFreed();
    void scrollingToTheEndAsksOnceForMore();
    void choosingAResult();
    void matchesStayOnTheirWordsInAFileExcerpt();

private:
    // A new panel, shown, with its spy on what it opens.
    void OpenPanel();
    ConnectMsgListItem* Row(int row) const { return panel_->RowWidget(row); }
    QTreeWidgetItem* Root(int index) const { return tree_->topLevelItem(index); }
    ConnectMsgListItem* Leaf(QTreeWidgetItem* item) const {
        return qobject_cast<ConnectMsgListItem*>(tree_->itemWidget(item, 0));
    }
    void OpenSearch() {
        search_parent_.reset(new QWidget);
        search_ = new SearchPanel(nullptr, search_parent_.get());
        search_->Results()->resize(300, 400);
        search_parent_->show();
    }
    // Types `text` into the search and waits for the request it sends; returns its id.
    int Type(const QString& text, QSignalSpy* search) {
        const int before = search->size();
        search_->Box()->Edit()->insert(text);
        if (!search->wait(2000) && search->size() == before)
            return -1;
        return search->last().at(0).toInt();
    }
    // The entries of the last tree loaded.
    static QStringList Entries(const QSignalSpy& spy) {
        return spy.isEmpty() ? QStringList() : spy.last().at(0).toStringList();
    }

    std::unique_ptr<TestHttpServer> server_;
    std::unique_ptr<ConnectGroupHelper> helper_;
    std::unique_ptr<QSignalSpy> unit_, public_, user_, discuss_;
    ConnectWid* panel_ = nullptr;
    QListWidget* list_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    std::unique_ptr<QSignalSpy> opened_;
    std::unique_ptr<QWidget> search_parent_;
    SearchPanel* search_ = nullptr;
};

void TestConnectWid::init() {
    // Directories answer nothing usable: the trees hold only what a test puts in.
    g_watch_count = 0;
    server_ = std::make_unique<TestHttpServer>();
    QVERIFY(SignIn(server_->Url("/")));
    helper_ = std::make_unique<ConnectGroupHelper>();
    ConnectGroupHelper* helper = helper_.get();
    unit_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_unit_group_tree);
    public_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_public_group_tree);
    user_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_user_group_tree);
    discuss_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_discuss_group_tree);
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
    opened_ = std::make_unique<QSignalSpy>(panel_, &ConnectWid::connect_item_changed);
}

void TestConnectWid::cleanup() {
    opened_.reset();
    delete panel_;
    panel_ = nullptr;
    helper_.reset();
    server_.reset();
    search_parent_.reset();
    ReleaseWatched();
}

void TestConnectWid::eachNodeAsksItsMethod() {
    QSignalSpy ready(helper_.get(), &ConnectGroupHelper::ready_to_req);
    helper_->OnStart();
    QCOMPARE(ready.size(), 1);
    QSignalSpy received(server_.get(), &TestHttpServer::received);
    ConnectGroupHelper& helper = *helper_;
    const QList<std::function<void()>> asks = {
        [&] { helper.LoadUnitGroupInfo("0", Handle(8)); },
        [&] { helper.LoadUnitGroupInfo("-14", Handle(8)); },
        [&] { helper.LoadPublicGroupInfo("-12", Handle(8)); },
        [&] { helper.LoadPublicGroupInfo("", Handle(8)); },
        [&] { helper.LoadUserGroupInfo("-201", Handle(8)); },
        [&] { helper.LoadUserGroupInfo("1", Handle(8)); },
        [&] { helper.LoadDiscussGroupInfo("0", Handle(8)); }};
    for (const auto& ask : asks) {
        ask();
        QVERIFY(received.wait());
    }
    QStringList asked;
    for (const auto& request : server_->Requests()) {
        const QStringList names = FieldNames(request);
        QCOMPARE(names.mid(0, 3), QStringList({"user_id", "sessionid", "unit_id"}));
        QCOMPARE(Field(request, "user_id"), QString::number(kUserId));
        QCOMPARE(Field(request, "sessionid"), QString("session-1"));
        QCOMPARE(Field(request, "unit_id"), QString("7"));
        QString line = QString::fromUtf8(request.target).section('/', -1);
        if (names.size() > 3)
            line += ' ' + names.at(3) + '=' + Field(request, names.at(3));
        asked << line;
    }
    QCOMPARE(asked, QStringList({"OrgAndUser_GetList org_id=0", "OrgAndUser_GetList org_id=14",
                                 "RoleAndUser_GetList role_id=12", "PublicGroup_GetList",
                                 "GroupUser_GetList group_id=201", "MyGroup_GetList",
                                 "DiscussGroup_GetList"}));
    QCOMPARE(server_->Requests().first().target,
             QByteArray("/BasePlate/Interface/IInterfaceJson.asmx/OrgAndUser_GetList"));
}

void TestConnectWid::repliesComeBackToTheirNode() {
    helper_->OnStart();
    server_->ReplyFor("group_id=201", 200, Ok(QJsonArray{Person("10004", "赵丽")}));
    server_->ReplyFor("group_id=202", 200, Ok(QJsonArray{Person("10010", "黄伟")}));
    helper_->LoadUserGroupInfo("-201", Handle(0x1230));
    helper_->LoadUserGroupInfo("-202", Handle(0x4560));
    QTRY_COMPARE(user_->size(), 2);
    QMap<quintptr, QStringList> nodes;
    for (const auto& call : *user_)
        nodes.insert(Node(call), call.at(0).toStringList());
    QCOMPARE(nodes,
             (QMap<quintptr, QStringList>{{0x1230, {"10004,赵丽"}}, {0x4560, {"10010,黄伟"}}}));

    // A request number is routed once, then forgotten; an unknown one gives no node.
    const QByteArray reply = Ok(QJsonObject{{"ID", "-11"}, {"Name", "校长室"}});
    server_->Reply(200, reply);
    helper_->LoadUnitGroupInfo("0", Handle(0x77));
    QTRY_COMPARE(unit_->size(), 1);
    QCOMPARE(Node(unit_->at(0)), quintptr(0x77));
    helper_->OnReply(ConnectGroupHelper::kOrgAndUser, true, reply, 3);
    helper_->OnReply(ConnectGroupHelper::kOrgAndUser, true, reply, 99);
    QCOMPARE(unit_->size(), 3);
    QCOMPARE(Node(unit_->at(1)), quintptr(0));
    QCOMPARE(Node(unit_->at(2)), quintptr(0));
    QCOMPARE(unit_->at(2).at(0).toStringList(), QStringList({"-11,校长室"}));
}

void TestConnectWid::repliesBecomeEntries() {
    ConnectGroupHelper* helper = helper_.get();
    emit helper->unit_group_info_ready(
        Ok(QJsonArray{QJsonObject{{"ID", "-141"}, {"Name", "语文组"}},
                      QJsonObject{{"ID", "10004"}, {"Name", "赵丽"}}}),
        Handle(1));
    QCOMPARE(Entries(*unit_), QStringList({"-141,语文组", "10004,赵丽"}));
    // One record alone comes as an object.
    emit helper->unit_group_info_ready(Ok(QJsonObject{{"ID", "10007"}, {"Name", "吴军"}}),
                                       Handle(1));
    QCOMPARE(Entries(*unit_), QStringList({"10007,吴军"}));

    // Groups get their "-" once; members of a group come as ID and Name.
    emit helper->public_group_info_ready(
        Ok(QJsonArray{Group("101", "全体教师群", "全校"), Group("-102", "教研组长群")}), Handle(1));
    QCOMPARE(Entries(*public_),
             QStringList({"-101,全体教师群,10001,张磊,全校,1", "-102,教研组长群,10001,张磊,,1"}));
    emit helper->public_group_info_ready(
        Ok(QJsonArray{QJsonObject{{"ID", "10002"}, {"Name", "王芳"}}, QJsonObject{{"Other", "x"}}}),
        Handle(1));
    QCOMPARE(Entries(*public_), QStringList({"10002,王芳"}));

    // Members lacking a value are left out.
    emit helper->user_group_info_ready(
        Ok(QJsonArray{Person("10004", "赵丽"), QJsonObject{{"User_ID", "10005"}},
                      QJsonObject{{"UserName", "无名"}}, QJsonObject{}, Person("10009", "陈静")}),
        Handle(1), true);
    QCOMPARE(Entries(*user_), QStringList({"10004,赵丽", "10009,陈静"}));

    emit helper->discuss_group_info_ready(
        Ok(QJsonArray{QJsonObject{{"Group_ID", "-301"}, {"GroupName", "运动会筹备讨论组"}},
                      QJsonObject{{"Group_ID", "302"}, {"GroupName", "期末考试讨论组"}},
                      QJsonObject{{"Group_ID", "303"}}}),
        Handle(1));
    QCOMPARE(Entries(*discuss_), QStringList({"-301,运动会筹备讨论组", "-302,期末考试讨论组"}));

    // Failed replies give no entries at all.
    for (QSignalSpy* spy : {unit_.get(), public_.get(), user_.get(), discuss_.get()})
        spy->clear();
    const QByteArray expired =
        Envelope({{"EID", "1"}, {"R", QJsonObject{{"ID", "10001"}, {"Name", "张磊"}}}});
    for (const QByteArray& data : {expired, QByteArray("<html>busy</html>")}) {
        emit helper_->unit_group_info_ready(data, Handle(1));
        emit helper_->public_group_info_ready(data, Handle(1));
        emit helper_->user_group_info_ready(data, Handle(1), false);
        emit helper_->user_group_info_ready(data, Handle(1), true);
        emit helper_->discuss_group_info_ready(data, Handle(1));
    }
    QCOMPARE(unit_->size() + public_->size() + user_->size() + discuss_->size(), 0);
    // A transport failure ends before any parser.
    helper_->OnReply(ConnectGroupHelper::kDiscussGroup, false, Ok(QJsonArray()), 1);
    QCOMPARE(discuss_->size(), 0);
}

void TestConnectWid::rowsShowNamePreviewAndCount() {
    OpenPanel();
    // Sent by the user: no sender in front.
    ConnectListItemInfo* own_video = Conversation(-301, "运动会筹备讨论组", 0, 5);
    own_video->send_or_receive = 1;
    panel_->UpdateConnectList({Conversation(0, "通知", 3, 0, "期中考试"),
                               Conversation(10002, "王芳", 7, 1, "材料\n已经发您了"),
                               Conversation(10003, "李明", 0, 2, "plan.docx"), own_video,
                               Conversation(10006, "周欣", 0, 9)});
    QStringList previews, counts;
    for (int i = 0; i < list_->count(); ++i) {
        previews << Label(Row(i), "one_short_msg_lab")->text();
        QLabel* count = Label(Row(i), "count_lab");
        counts << (count->isHidden() ? QString("-") : count->text());
    }
    QCOMPARE(previews, QStringList({"通知:期中考试", "材料 已经发您了", "[文件]", "[视频]", ""}));
    QCOMPARE(counts, QStringList({"3", "7", "-", "-", "-"}));
    QCOMPARE(Label(Row(0), "one_name_lab")->text(), QStringLiteral("系统消息"));

    // Fewer conversations leave no old rows behind; the system count is fixed in place.
    panel_->UpdateConnectList({Conversation(10004, "赵丽", 2), Conversation(0, "通知", 3, 0)});
    QCOMPARE(list_->count(), 2);
    QCOMPARE(Row(1)->OtherId(), 0);
    QCOMPARE(Label(Row(0), "one_name_lab")->text(), QStringLiteral("赵丽"));
    panel_->OnFixSysMsgCount(0);
    QVERIFY(Label(Row(1), "count_lab")->isHidden());
    panel_->OnFixSysMsgCount(12);
    QCOMPARE(Label(Row(1), "count_lab")->text(), QString("12"));
    QVERIFY(!Label(Row(1), "count_lab")->isHidden());

    // Group ids reaching the message store are covered in tst_app_flow.
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

void TestConnectWid::selectionKeptAcrossRebuilds() {
    OpenPanel();
    QSignalSpy avatars(panel_, &ConnectWid::req_avatar);
    // The first list opens the conversation it marks, also when rebuilt before that is acted on.
    ConnectListItemInfoPointers first = List({10002, 10003});
    first.first()->selected = true;
    panel_->UpdateConnectList(first);
    panel_->UpdateConnectList(List({10003, 10004, 10002}));
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->first(), QVariantList({10002, QStringLiteral("会话10002")}));
    QCOMPARE(list_->currentRow(), 2);
    // No picture on disk yet: choosing asks for one.
    QCOMPARE(avatars.size(), 1);
    QCOMPARE(avatars.first().at(0).toString(), QString("10002"));

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
    QCOMPARE(opened_->size(), 3);
    QCOMPARE(opened_->last().at(0).toInt(), 10002);

    // Chosen by id: highlighted once it arrives, but not opened; the next click is.
    panel_->SelectConversation(10009);
    QCOMPARE(list_->currentRow(), -1);
    panel_->UpdateConnectList(List({10009, 10002, 10003}));
    QCOMPARE(list_->currentRow(), 0);
    list_->setCurrentRow(2);
    QVERIFY(opened_->wait());
    QCOMPARE(opened_->size(), 4);
    QCOMPARE(opened_->last().at(0).toInt(), 10003);
}

void TestConnectWid::longListKeepsAScreenfulOfRowWidgets() {
    OpenPanel();
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

    // A message to the last conversation moves every row down, those in view and those not.
    QList<int> moved = ids;
    moved.prepend(moved.takeLast());
    ConnectListItemInfoPointers moved_list = List(moved);
    moved_list.last()->content = QStringLiteral("最后一条");
    panel_->UpdateConnectList(moved_list);
    QCOMPARE(Label(Row(500), "one_name_lab")->text(), QStringLiteral("会话20500"));
    list_->scrollToBottom();
    QApplication::processEvents();
    QCOMPARE(Label(Row(999), "one_short_msg_lab")->text(), QStringLiteral("最后一条"));

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
    OpenPanel();
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
    ConnectMsgListItem* row = Row(list_->currentRow());
    QVERIFY(row && row->isVisible());
    QCOMPARE(row->geometry(), rect);
    QCOMPARE(row->OtherId(), 10018);
}

void TestConnectWid::avatarsComeFromTheFolderOnReady() {
    OpenPanel();
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

void TestConnectWid::brokenEntriesAndStrayNodes() {
    OpenPanel();
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
    QSignalSpy received(server_.get(), &TestHttpServer::received);
    // The old panel goes while its directory replies are on their way.
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

void TestConnectWid::typingSearchesAndEscapeReturnsToTheList() {
    OpenSearch();
    QSignalSpy search(search_, &SearchPanel::search);
    QSignalSpy active(search_, &SearchPanel::active_changed);
    search_->Box()->Edit()->insert("期");
    const int id = Type("末", &search);
    // Typed in a row: one request, for the whole text.
    QCOMPARE(search.size(), 1);
    QCOMPARE(search.at(0).at(1).toString(), QString("期末"));
    QCOMPARE(active.size(), 1);
    QVERIFY(active.at(0).at(0).toBool());

    search_->OnSearchReady(id, Watch(FirstPage()), false, 0);
    QCOMPARE(Rows(search_->Results()),
             QStringList({"section 联系人和群聊", "name 期末考试讨论组", "section 聊天记录",
                          "header 期末考试讨论组", "message 期末命题放在群里商量",
                          "message 期末前两周停新课", "header 王芳", "message 期末阅卷安排"}));

    QTest::keyClick(search_->Box()->Edit(), Qt::Key_Escape);
    QVERIFY(search_->Box()->Text().isEmpty());
    QCOMPARE(active.size(), 2);
    QVERIFY(!active.at(1).at(0).toBool());
    QCOMPARE(search_->Results()->count(), 0);
    QVERIFY(AllFreedOnce());

    // Blanks alone search nothing.
    search_->Box()->Edit()->insert("  ");
    QVERIFY(!search_->Active());
    QVERIFY(Type("x", &search) > id);
    QVERIFY(search_->Active());
    QCOMPARE(search.size(), 2);
}

void TestConnectWid::repliesToOlderRequestsAreDroppedAndFreed() {
    OpenSearch();
    QSignalSpy search(search_, &SearchPanel::search);
    const int first = Type("期", &search);
    const int second = Type("末", &search);
    QVERIFY(second > first);
    // The newer answer comes first, the older one late.
    search_->OnSearchReady(second, Watch(FirstPage()), false, 0);
    search_->OnSearchReady(first, Watch(MsgSearchItemInfoPointers{Message(99, kWangFang, "期")}),
                           false, 0);
    QVERIFY(!Rows(search_->Results()).contains("message 期"));
    QCOMPARE(Rows(search_->Results()).size(), 8);

    // Typed on while the answer travels: the answer is for text no longer there.
    search_->Box()->Edit()->insert("考");
    search_->OnSearchReady(second, Watch(MsgSearchItemInfoPointers{Message(98, kWangFang, "期末")}),
                           false, 0);
    QVERIFY(!Rows(search_->Results()).contains("message 期末"));
    // Emptied: nothing may show again.
    const int third = search.wait(2000) ? search.last().at(0).toInt() : -1;
    search_->Clear();
    search_->OnSearchReady(third, Watch(FirstPage()), false, 0);
    QCOMPARE(search_->Results()->count(), 0);
    QVERIFY(AllFreedOnce());
}

void TestConnectWid::scrollingToTheEndAsksOnceForMore() {
    OpenSearch();
    QSignalSpy search(search_, &SearchPanel::search);
    QSignalSpy more(search_, &SearchPanel::search_more);
    const int id = Type("期末", &search);
    MsgSearchItemInfoPointers page = FirstPage();
    for (int i = 0; i < 20; ++i)
        page << Message(200 - i, kWangFang, QStringLiteral("期末第%1条").arg(i));
    search_->OnSearchReady(id, Watch(page), true, 181);
    QCOMPARE(Rows(search_->Results()).last(), QString("footer 正在加载…"));

    ScrollTo(search_->Results(), true);
    QTRY_COMPARE(more.size(), 1);
    QCOMPARE(more.at(0).mid(1), QVariantList({"期末", 181}));
    // Scrolled about while it is on its way: still one request.
    ScrollTo(search_->Results(), false);
    ScrollTo(search_->Results(), true);

    // The next page continues 王芳's group and starts one more; names come only once.
    const int more_id = more.at(0).at(0).toInt();
    search_->OnSearchReady(more_id,
                           Watch(MsgSearchItemInfoPointers{Name(kExamGroup, "期末考试讨论组"),
                                                           Message(5, kWangFang, "期末总结"),
                                                           Message(4, -101, "期末大会")}),
                           false, 0);
    QCOMPARE(more.size(), 1);
    const QStringList rows = Rows(search_->Results());
    QCOMPARE(rows.count("header 王芳"), 1);
    QCOMPARE(rows.count("name 期末考试讨论组"), 1);
    QCOMPARE(rows.indexOf("message 期末总结"), rows.indexOf("message 期末第19条") + 1);
    QCOMPARE(rows.last(), QString("message 期末大会"));
    search_parent_.reset();
    QVERIFY(AllFreedOnce());
}

void TestConnectWid::choosingAResult() {
    OpenSearch();
    QSignalSpy search(search_, &SearchPanel::search);
    QSignalSpy message(search_, &SearchPanel::message_chosen);
    QSignalSpy conversation(search_, &SearchPanel::conversation_chosen);
    search_->OnSearchReady(Type("期末", &search), FirstPage(), false, 0);
    SearchResults* results = search_->Results();
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualItemRect(results->item(7)).center());
    QCOMPARE(message.size(), 1);
    QCOMPARE(message.at(0), QVariantList({kWangFang, "王芳", 10}));

    // The arrows of the box move among the results, Enter opens.
    QTest::keyClick(search_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(search_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(search_->Box()->Edit(), Qt::Key_Return);
    QCOMPARE(message.size(), 2);
    QCOMPARE(message.at(1), QVariantList({kExamGroup, "期末考试讨论组", 20}));
    QVERIFY(search_->Active());

    // Up from the first group's header passes over the section row to the name. A name ends
    // the search: its conversation opens and the list comes back.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(search_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(search_->Box()->Edit(), Qt::Key_Return);
    QCOMPARE(message.size(), 2);
    QCOMPARE(conversation.size(), 1);
    QCOMPARE(conversation.at(0), QVariantList({kExamGroup, "期末考试讨论组", true}));
    QTRY_VERIFY(!search_->Active());
    QVERIFY(search_->Box()->Text().isEmpty());
}

void TestConnectWid::matchesStayOnTheirWordsInAFileExcerpt() {
    MsgSearchItemInfo file;
    file.msg_type = 2;
    file.text = "初三期末复习.docx";
    file.matches = SearchText::Find(file.text, "期末");
    SearchText::Matches matches;
    const QString excerpt = SearchResultDelegate::ExcerptText(file, &matches);
    QVERIFY(excerpt.endsWith(file.text));
    QCOMPARE(matches.size(), 1);
    QCOMPARE(excerpt.mid(matches.at(0).first, matches.at(0).second), QString("期末"));
}

CORAL_TEST_MAIN(TestConnectWid)
#include "tst_connect_wid.moc"
