// The history search of the left panel: typing asks the worker after a pause, results stand
// grouped by conversation in place of the list, Escape brings the list back, scrolling to the end
// asks once for more, replies to an older request are dropped, and every record handed over is
// freed exactly once.

#include <QCoreApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "DeleteWatch.h"
#include "login/SearchBox.h"
#include "login/SearchPanel.h"
#include "login/SearchResultDelegate.h"
#include "login/SearchResults.h"
#include "tests/support/TestMain.h"

namespace {

constexpr int kWangFang = 10002;
constexpr int kExamGroup = -302;

MsgSearchItemInfo* Message(int id, int other_id, const QString& text) {
    auto* item = new MsgSearchItemInfo;
    item->id = id;
    item->other_id = other_id;
    item->other_name = other_id == kWangFang ? "王芳" : "期末考试讨论组";
    item->send_date = QDateTime::currentDateTime().addDays(-id);
    item->msg_type = 1;
    item->sender_name = "王芳";
    item->text = text;
    item->matches = SearchText::Find(text, "期末");
    return item;
}

MsgSearchItemInfo* Name(int other_id, const QString& name) {
    auto* item = new MsgSearchItemInfo;
    item->kind = MsgSearchItemInfo::kConversation;
    item->other_id = other_id;
    item->other_name = name;
    item->text = name;
    item->matches = SearchText::Find(name, "期末");
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

class TestSearchPanel : public QObject {
    Q_OBJECT
private slots:
    void init() {
        g_watch_count = 0;
        parent_.reset(new QWidget);
        panel_ = new SearchPanel(nullptr, parent_.get());
        panel_->Results()->resize(300, 400);
        parent_->show();
    }
    void cleanup() {
        parent_.reset();
        ReleaseWatched();
    }
    void typingSearchesAndEscapeReturnsToTheList();
    void repliesToOlderRequestsAreDroppedAndFreed();
    void scrollingToTheEndAsksOnceForMore();
    void choosingAResult();
    void matchesStayOnTheirWordsInAFileExcerpt();

private:
    // Types `text` and waits for the request it sends; returns its id.
    int Type(const QString& text, QSignalSpy* search) {
        const int before = search->size();
        panel_->Box()->Edit()->insert(text);
        if (!search->wait(2000) && search->size() == before)
            return -1;
        return search->last().at(0).toInt();
    }

    std::unique_ptr<QWidget> parent_;
    SearchPanel* panel_ = nullptr;
};

void TestSearchPanel::typingSearchesAndEscapeReturnsToTheList() {
    QSignalSpy search(panel_, &SearchPanel::search);
    QSignalSpy active(panel_, &SearchPanel::active_changed);
    panel_->Box()->Edit()->insert("期");
    const int id = Type("末", &search);
    // Typed in a row: one request, for the whole text.
    QCOMPARE(search.size(), 1);
    QCOMPARE(search.at(0).at(1).toString(), QString("期末"));
    QCOMPARE(active.size(), 1);
    QVERIFY(active.at(0).at(0).toBool());

    panel_->OnSearchReady(id, Watch(FirstPage()), false, 0);
    QCOMPARE(Rows(panel_->Results()),
             QStringList({"section 联系人和群聊", "name 期末考试讨论组", "section 聊天记录",
                          "header 期末考试讨论组", "message 期末命题放在群里商量",
                          "message 期末前两周停新课", "header 王芳", "message 期末阅卷安排"}));

    QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Escape);
    QVERIFY(panel_->Box()->Text().isEmpty());
    QCOMPARE(active.size(), 2);
    QVERIFY(!active.at(1).at(0).toBool());
    QCOMPARE(panel_->Results()->count(), 0);
    QVERIFY(AllFreedOnce());

    // Blanks alone search nothing.
    panel_->Box()->Edit()->insert("  ");
    QVERIFY(!panel_->Active());
    QVERIFY(Type("x", &search) > id);
    QVERIFY(panel_->Active());
    QCOMPARE(search.size(), 2);
}

void TestSearchPanel::repliesToOlderRequestsAreDroppedAndFreed() {
    QSignalSpy search(panel_, &SearchPanel::search);
    const int first = Type("期", &search);
    const int second = Type("末", &search);
    QVERIFY(second > first);
    // The newer answer comes first, the older one late.
    panel_->OnSearchReady(second, Watch(FirstPage()), false, 0);
    panel_->OnSearchReady(first, Watch(MsgSearchItemInfoPointers{Message(99, kWangFang, "期")}),
                          false, 0);
    QVERIFY(!Rows(panel_->Results()).contains("message 期"));
    QCOMPARE(Rows(panel_->Results()).size(), 8);

    // Typed on while the answer travels: the answer is for text no longer there.
    panel_->Box()->Edit()->insert("考");
    panel_->OnSearchReady(second, Watch(MsgSearchItemInfoPointers{Message(98, kWangFang, "期末")}),
                          false, 0);
    QVERIFY(!Rows(panel_->Results()).contains("message 期末"));
    // Emptied: nothing may show again.
    const int third = search.wait(2000) ? search.last().at(0).toInt() : -1;
    panel_->Clear();
    panel_->OnSearchReady(third, Watch(FirstPage()), false, 0);
    QCOMPARE(panel_->Results()->count(), 0);
    QVERIFY(AllFreedOnce());
}

void TestSearchPanel::scrollingToTheEndAsksOnceForMore() {
    QSignalSpy search(panel_, &SearchPanel::search);
    QSignalSpy more(panel_, &SearchPanel::search_more);
    const int id = Type("期末", &search);
    MsgSearchItemInfoPointers page = FirstPage();
    for (int i = 0; i < 20; ++i)
        page << Message(200 - i, kWangFang, QStringLiteral("期末第%1条").arg(i));
    panel_->OnSearchReady(id, Watch(page), true, 181);
    QCOMPARE(Rows(panel_->Results()).last(), QString("footer 正在加载…"));

    ScrollTo(panel_->Results(), true);
    QTRY_COMPARE(more.size(), 1);
    QCOMPARE(more.at(0).mid(1), QVariantList({"期末", 181}));
    // Scrolled about while it is on its way: still one request.
    ScrollTo(panel_->Results(), false);
    ScrollTo(panel_->Results(), true);

    // The next page continues 王芳's group and starts one more; names come only once.
    const int more_id = more.at(0).at(0).toInt();
    panel_->OnSearchReady(more_id,
                          Watch(MsgSearchItemInfoPointers{Name(kExamGroup, "期末考试讨论组"),
                                                          Message(5, kWangFang, "期末总结"),
                                                          Message(4, -101, "期末大会")}),
                          false, 0);
    QCOMPARE(more.size(), 1);
    const QStringList rows = Rows(panel_->Results());
    QCOMPARE(rows.count("header 王芳"), 1);
    QCOMPARE(rows.count("name 期末考试讨论组"), 1);
    QCOMPARE(rows.indexOf("message 期末总结"), rows.indexOf("message 期末第19条") + 1);
    QCOMPARE(rows.last(), QString("message 期末大会"));
    parent_.reset();
    QVERIFY(AllFreedOnce());
}

void TestSearchPanel::choosingAResult() {
    QSignalSpy search(panel_, &SearchPanel::search);
    QSignalSpy message(panel_, &SearchPanel::message_chosen);
    QSignalSpy conversation(panel_, &SearchPanel::conversation_chosen);
    panel_->OnSearchReady(Type("期末", &search), FirstPage(), false, 0);
    SearchResults* results = panel_->Results();
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualItemRect(results->item(7)).center());
    QCOMPARE(message.size(), 1);
    QCOMPARE(message.at(0), QVariantList({kWangFang, "王芳", 10}));

    // The arrows of the box move among the results, Enter opens.
    QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Return);
    QCOMPARE(message.size(), 2);
    QCOMPARE(message.at(1), QVariantList({kExamGroup, "期末考试讨论组", 20}));
    QVERIFY(panel_->Active());

    // Up from the first group's header passes over the section row to the name. A name ends
    // the search: its conversation opens and the list comes back.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Up);
    QTest::keyClick(panel_->Box()->Edit(), Qt::Key_Return);
    QCOMPARE(message.size(), 2);
    QCOMPARE(conversation.size(), 1);
    QCOMPARE(conversation.at(0), QVariantList({kExamGroup, "期末考试讨论组", true}));
    QTRY_VERIFY(!panel_->Active());
    QVERIFY(panel_->Box()->Text().isEmpty());
}

void TestSearchPanel::matchesStayOnTheirWordsInAFileExcerpt() {
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

CORAL_TEST_MAIN(TestSearchPanel)
#include "tst_search_panel.moc"
