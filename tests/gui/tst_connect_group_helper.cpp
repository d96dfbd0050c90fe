// The contact directories: which method each node asks, what the request carries, how each
// reply becomes entries for the node that asked.

#include <QtTest>

#include "login/ConnectGroupHelper.h"
#include "tests/engine/EngineTestEnv.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

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

}  // namespace

class TestConnectGroupHelper : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eachNodeAsksItsMethod();
    void repliesComeBackToTheirNode();
    void repliesBecomeEntries();
    void failedRepliesGiveNoEntries();

private:
    // The entries of the last tree loaded.
    QStringList Entries(const QSignalSpy& spy) const {
        return spy.isEmpty() ? QStringList() : spy.last().at(0).toStringList();
    }

    std::unique_ptr<TestHttpServer> server_;
    std::unique_ptr<ConnectGroupHelper> helper_;
    std::unique_ptr<QSignalSpy> unit_, public_, user_, discuss_;
};

void TestConnectGroupHelper::initTestCase() {
    qRegisterMetaType<QTreeWidgetItem*>("QTreeWidgetItem*");
}

void TestConnectGroupHelper::init() {
    server_ = std::make_unique<TestHttpServer>();
    QVERIFY(SignIn(server_->Url("/")));
    helper_ = std::make_unique<ConnectGroupHelper>();
    ConnectGroupHelper* helper = helper_.get();
    unit_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_unit_group_tree);
    public_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_public_group_tree);
    user_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_user_group_tree);
    discuss_ = std::make_unique<QSignalSpy>(helper, &ConnectGroupHelper::load_discuss_group_tree);
}

void TestConnectGroupHelper::cleanup() {
    helper_.reset();
    server_.reset();
}

void TestConnectGroupHelper::eachNodeAsksItsMethod() {
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

void TestConnectGroupHelper::repliesComeBackToTheirNode() {
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

void TestConnectGroupHelper::repliesBecomeEntries() {
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
}

void TestConnectGroupHelper::failedRepliesGiveNoEntries() {
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

CORAL_TEST_MAIN(TestConnectGroupHelper)
#include "tst_connect_group_helper.moc"
