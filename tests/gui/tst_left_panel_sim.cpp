// The left panel against platform-sim after a real login: the demo conversations with their
// names, counts and avatars, the four contact trees, and a new message moving its
// conversation to the top.

#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>
#include <QtTest>

#include "GuiTestUtil.h"
#include "base/SqlExec.h"
#include "login/ConnectMsgListItem.h"
#include "login/ConnectWid.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestMain.h"

using namespace gui_test;

namespace {

struct Row {
    QString name;
    QString count;  // "-" when hidden
    bool picture = false;
};

// Every row as it shows when scrolled to: only rows in view have a widget.
QMap<int, Row> Rows(QListWidget* list) {
    QMap<int, Row> rows;
    auto* panel = list->window()->findChild<ConnectWid*>("connect_wid");
    for (int i = 0; i < list->count(); ++i) {
        list->scrollToItem(list->item(i));
        ConnectMsgListItem* row = panel->RowWidget(i);
        if (!row)
            continue;
        auto* count = row->findChild<QLabel*>("count_lab");
        rows.insert(
            row->OtherId(),
            {row->Name(), count->isHidden() ? QStringLiteral("-") : count->text(),
             !row->findChild<QLabel*>("one_avatar_lab")->pixmap(Qt::ReturnByValue).isNull()});
    }
    list->scrollToTop();
    return rows;
}

int TopId(QListWidget* list) {
    ConnectMsgListItem* row = list->window()->findChild<ConnectWid*>("connect_wid")->RowWidget(0);
    return row ? row->OtherId() : 0;
}

QStringList Children(QTreeWidget* tree, QTreeWidgetItem* node) {
    QStringList names;
    for (int i = 0; i < node->childCount(); ++i) {
        auto* leaf = qobject_cast<ConnectMsgListItem*>(tree->itemWidget(node->child(i), 0));
        names << (leaf ? leaf->Name() : node->child(i)->text(0));
    }
    return names;
}

}  // namespace

class TestLeftPanelSim : public QObject {
    Q_OBJECT
private slots:
    void init();
    void conversationsAndContactsOfTheDemoUser();
};

void TestLeftPanelSim::init() {
    ResetAccounts();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestLeftPanelSim::conversationsAndContactsOfTheDemoUser() {
    DemoApp app;
    SimServer& sim = app.sim;
    QVERIFY(app.Start());
    auto* panel = app.Main()->findChild<ConnectWid*>("connect_wid");
    auto* list = panel->findChild<QListWidget*>("connect_list");
    auto* tree = panel->findChild<QTreeWidget*>("group_tree");
    QTRY_VERIFY_WITH_TIMEOUT(sim.HeldPolls() == 1, 10000);

    QTRY_COMPARE(Rows(list).keys(),
                 QList<int>({-302, -301, -202, -201, -101, 0, 10002, 10003, 10004, 10005, 10006}));
    const QMap<int, Row> rows = Rows(list);
    QCOMPARE(rows.value(10002).name, QStringLiteral("王芳"));
    QStringList counts;
    for (int id : {10002, 10003, 10004, 10005, 10006, -101, -202, -301})
        counts << rows.value(id).count;
    QCOMPARE(counts, QStringList({"1", "1", "-", "1", "-", "1", "-", "1"}));
    // The demo users' pictures are fetched and shown.
    QTRY_VERIFY_WITH_TIMEOUT(Rows(list).value(10002).picture && Rows(list).value(10005).picture,
                             10000);

    QVERIFY(sim.SendChat("wangfang", "zhanglei", QStringLiteral("材料已经发您了")) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(TopId(list), 10002, 5000);
    QTRY_COMPARE(Rows(list).value(10002).count, QString("2"));
    ConnectMsgListItem* top = panel->RowWidget(0);
    QCOMPARE(top->findChild<QLabel*>("one_short_msg_lab")->text(),
             QStringLiteral("材料已经发您了"));

    // The four trees load level by level without a click.
    QTreeWidgetItem* unit = tree->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(Children(tree, unit),
                              QStringList({"校长室", "教务处", "总务处", "教研组"}), 10000);
    QTRY_COMPARE(Children(tree, unit->child(3)),
                 QStringList({"语文组", "数学组", "英语组", "体育组"}));
    QTRY_COMPARE(Children(tree, unit->child(3)->child(0)), QStringList({"赵丽", "陈静"}));
    QTRY_COMPARE(Children(tree, unit->child(3)->child(3)), QStringList({"吴军"}));
    QTreeWidgetItem* open = tree->topLevelItem(1);
    QTRY_COMPARE(Children(tree, open), QStringList({"全体教师群", "教研组长群"}));
    QTRY_COMPARE(open->child(0)->childCount(), 10);
    QTRY_COMPARE(open->child(1)->childCount(), 6);
    QTreeWidgetItem* own = tree->topLevelItem(2);
    QTRY_COMPARE(Children(tree, own), QStringList({"三年级备课组", "篮球爱好者"}));
    QTRY_COMPARE(Children(tree, own->child(1)), QStringList({"吴军", "张磊", "黄伟"}));
    QTRY_COMPARE(Children(tree, tree->topLevelItem(3)),
                 QStringList({"运动会筹备讨论组", "期末考试讨论组"}));
    // Group conversations are titled by their groups.
    QCOMPARE(Rows(list).value(-301).name, QStringLiteral("运动会筹备讨论组"));
    QCOMPARE(Rows(list).value(-101).name, QStringLiteral("全体教师群"));

    // Group names reach the message store under their positive ids.
    const auto name = [](int id) {
        return SqlExec::SelectString("SELECT group_name FROM group_infos WHERE group_id = :id",
                                     {{"id", id}});
    };
    QTRY_COMPARE(name(101), QStringLiteral("全体教师群"));
    QTRY_COMPARE(name(202), QStringLiteral("篮球爱好者"));
    QTRY_COMPARE(name(302), QStringLiteral("期末考试讨论组"));

    // A group node opens nothing; a member opens the conversation with him.
    QSignalSpy opened(panel, &ConnectWid::connect_item_changed);
    emit tree->itemClicked(unit->child(3), 0);
    emit tree->itemClicked(own->child(1)->child(2), 0);
    QCOMPARE(opened, QList<QVariantList>({{10010, QStringLiteral("黄伟")}}));
}

CORAL_TEST_MAIN(TestLeftPanelSim)
#include "tst_left_panel_sim.moc"
