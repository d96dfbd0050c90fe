// The history search of the main window against platform-sim: after logging in, Ctrl+F and
// "期末" find the demo messages across conversations, and a click opens the conversation at the
// message, marked.

#include <QLineEdit>
#include <QtTest>

#include "MainWindowTestUtil.h"
#include "login/SearchBox.h"
#include "login/SearchResults.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

constexpr int kExamGroup = -302;
const QString kWanted = QStringLiteral("期末考试前两周停止新课，留出复习时间。");

// The row of the first message result whose text is `text`; -1.
int MessageRow(const SearchResults* results, const QString& text) {
    for (int row = 0; results->RowAt(row); ++row) {
        const SearchResults::Row* found = results->RowAt(row);
        if (found->kind == SearchResults::kMessage && found->item->text == text)
            return row;
    }
    return -1;
}

QSet<int> GroupsShown(const SearchResults* results) {
    QSet<int> groups;
    for (int row = 0; results->RowAt(row); ++row) {
        if (results->RowAt(row)->kind == SearchResults::kGroupHeader)
            groups.insert(results->RowAt(row)->other_id);
    }
    return groups;
}

}  // namespace

class TestSearchE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(w_.Ready()); }
    void init() { QVERIFY(w_.Open()); }
    void searchFindsTheDemoMessagesAndOpensOne();

private:
    SimWindow w_;
};

void TestSearchE2e::searchFindsTheDemoMessagesAndOpensOne() {
    QTRY_COMPARE_WITH_TIMEOUT(
        engine_test::Count("SELECT COUNT(*) FROM message_all WHERE content = :text",
                           {{"text", kWanted}}),
        1, 15000);
    MainWidget* main = w_.main.get();
    auto* box = main->findChild<SearchBox*>();
    auto* results = main->findChild<SearchResults*>();
    QVERIFY(box && results);
    main->activateWindow();
    QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(box->Edit()->hasFocus());
    box->Edit()->insert("期末");

    QTRY_VERIFY_WITH_TIMEOUT(MessageRow(results, kWanted) >= 0, 10000);
    QVERIFY(results->isVisible());
    const QSet<int> groups = GroupsShown(results);
    for (int other_id : {kExamGroup, kWangFang, -101, -201, 10004})
        QVERIFY2(groups.contains(other_id), qPrintable(QString::number(other_id)));

    const int row = MessageRow(results, kWanted);
    const int id = results->RowAt(row)->item->id;
    results->scrollToItem(results->item(row));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualItemRect(results->item(row)).center());
    MessagePageMgr* pages = main->PageMgr();
    QCOMPARE(pages->CurrentId(), kExamGroup);
    QTRY_VERIFY_WITH_TIMEOUT(pages->Page(kExamGroup)->View()->HighlightedRow() >= 0, 10000);
    ChatView* view = pages->Page(kExamGroup)->View();
    const Bubble* shown = view->BubbleAt(view->HighlightedRow());
    QCOMPARE(shown->id, id);
    QCOMPARE(shown->text, kWanted);
    QCOMPARE(pages->Page(kExamGroup)->Title(), QString("期末考试讨论组"));
}

CORAL_TEST_MAIN(TestSearchE2e)
#include "tst_search_e2e.moc"
