// One conversation page: filling from records (day separators, older pages above, pages that
// come twice), title and states, what pasting and dropping send, sends left unanswered, re-sending,
// pictures that arrive later, and rows that have widgets only near the visible part.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "ChatTestUtil.h"
#include "chat/ChatView.h"
#include "chat/InputView.h"
#include "chat/MessageItem.h"
#include "chat/MessagePage.h"
#include "chat/PasteFiles.h"
#include "chat/PictureViewer.h"
#include "screenshot/OEScreenshot.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

// Fills the page and frees the records, as the page manager does.
void Fill(MessagePage* page, const MessageItemInfoPointers& records, bool on_screen = true) {
    page->Fill(records, on_screen);
    qDeleteAll(records);
}

void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// A page shown at a size where the list scrolls.
struct ShownPage {
    ShownPage(int other_id = kWangFang) : page(other_id) {
        page.resize(600, 600);
        page.show();
        page.SetTitle("王芳");
    }
    void Send(const QString& text) {
        page.Input()->setPlainText(text);
        page.OnSendClicked();
    }
    MessagePage page;
    QSignalSpy sent{&page, &MessagePage::send_msg};
    QSignalSpy resent{&page, &MessagePage::re_send_msg};
};

}  // namespace

class TestMessagePage : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(SignIn());
        QApplication::clipboard()->clear();
    }
    void oneSeparatorPerDayAndNoRepeats();
    void olderPageGoesAboveAndKeepsPlace();
    void titleAndStatesFromRecords();
    void droppedFilesAreSentInOrder();
    void pastedPicturesGetTheirOwnFiles();
    void pastedVideoIsSentWithAThumbnail();
    void screenshotIsSentWhenReady();
    void failedSendsAreSentAgain();
    void messagesSentBeforeTheFirstRecords();
    void picturesShowOnceDownloaded();
    void onlyRowsNearTheViewHaveWidgets();
};

void TestMessagePage::oneSeparatorPerDayAndNoRepeats() {
    ShownPage shown;
    QSignalSpy read(&shown.page, &MessagePage::receive_msg_on_chat);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime yesterday(now.date().addDays(-1), QTime(9, 0, 5));
    Fill(&shown.page, {Record(1, kWangFang, "早", yesterday),
                       Record(2, kWangFang, "午", yesterday.addSecs(3 * 3600)),
                       Record(3, kWangFang, "今天", now)});
    QCOMPARE(Rows(shown.page.View()),
             QStringList({"sep " + yesterday.toString("yyyy/M/d HH:mm:ss"), "< 早", "< 午",
                          "sep " + now.toString("HH:mm:ss"), "< 今天"}));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0).at(0).toInt(), kWangFang);
    QCOMPARE(shown.page.MinId(), 1);
    QCOMPARE(shown.page.MaxId(), 3);

    // A message of the same day later on needs no separator; one sent now does only when the
    // day changed.
    Fill(&shown.page, {Record(4, kWangFang, "再来", now)});
    QCOMPARE(Rows(shown.page.View()).count(), 6);
    // Opened while its first message arrived, a conversation may get its newest page twice.
    Fill(&shown.page, Records(3, 3, kWangFang, now));
    QCOMPARE(Rows(shown.page.View()).mid(5), QStringList({"< 再来", "< 第5条"}));
}

void TestMessagePage::olderPageGoesAboveAndKeepsPlace() {
    ShownPage shown;
    QSignalSpy top(&shown.page, &MessagePage::scroll_to_top);
    QSignalSpy read(&shown.page, &MessagePage::receive_msg_on_chat);
    const QDateTime now(QDate::currentDate(), QTime(12, 0));
    Fill(&shown.page, Records(61, 40, kWangFang, now));
    ChatView* view = shown.page.View();
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 0);
    QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    view->verticalScrollBar()->setValue(0);
    QCOMPARE(top.size(), 1);
    QCOMPARE(top.at(0), QVariantList({kWangFang, 61, 100}));

    // The older page ends on the day the shown one starts: that day keeps one separator.
    read.clear();
    Fill(&shown.page, Records(21, 40, kWangFang, now.addSecs(-40 * 60)));
    QCOMPARE(read.size(), 0);
    QCOMPARE(view->verticalScrollBar()->value(), MessagePage::kOlderPageScrollValue);
    const QStringList rows = Rows(view);
    QCOMPARE(rows.count(), 81);
    QVERIFY(rows.at(0).startsWith("sep "));
    QCOMPARE(rows.at(1), QString("< 第21条"));
    QCOMPARE(rows.mid(40, 2), QStringList({"< 第60条", "< 第61条"}));
    QCOMPARE(rows.filter(QRegularExpression("^sep ")).size(), 1);
    QCOMPARE(shown.page.MinId(), 21);

    // A page of another day keeps both separators.
    Fill(&shown.page, Records(1, 20, kWangFang, now.addDays(-3)));
    QCOMPARE(Rows(view).filter(QRegularExpression("^sep ")).size(), 2);
    QVERIFY(Rows(view).at(21).startsWith("sep "));
}

void TestMessagePage::titleAndStatesFromRecords() {
    ShownPage group(kGroup);
    group.page.SetTitle("讨论组");
    Fill(&group.page, {Record(1, kGroup, "大家好"), OwnRecord(2, kGroup, 1, 2)});
    QCOMPARE(group.page.Title(), QString("运动会筹备讨论组"));
    const Bubble* received = group.page.View()->BubbleAt(1);
    QCOMPARE(received->sender_name, QString("吴军"));
    QCOMPARE(received->avatar_id, 10007);

    // Group names arrive with the contact trees: until then the page keeps its name.
    ShownPage unnamed(-302);
    unnamed.page.SetTitle("期末考试讨论组");
    MessageItemInfo* record = Record(1, -302);
    record->group_name.clear();
    Fill(&unnamed.page, {record});
    QCOMPARE(unnamed.page.Title(), QString("期末考试讨论组"));

    ShownPage one;
    Fill(&one.page,
         {OwnRecord(1, kWangFang, 0, 0), OwnRecord(2, kWangFang, -1, 0),
          OwnRecord(3, kWangFang, 1, 1), OwnRecord(4, kWangFang, 1, 2), Record(5, kWangFang)});
    QCOMPARE(one.page.Title(), QString("王芳"));
    QList<int> states;
    for (int row = 1; row < one.page.View()->count(); ++row)
        states << one.page.View()->BubbleAt(row)->state;
    QCOMPARE(states, QList<int>({-1, -1, 1, 2, Bubble::kNoState}));
    QCOMPARE(one.page.View()->BubbleAt(1)->client_message_id, 1);
}

void TestMessagePage::droppedFilesAreSentInOrder() {
    ShownPage shown;
    shown.Send("先发一句");
    QTemporaryDir dir;
    QStringList files;
    for (const char* name : {"教案.docx", "成绩 表.xlsx", "照片.png"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("data");
        files << file.fileName();
    }
    QVERIFY(QDir(dir.path()).mkdir("文件夹"));
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    urls.insert(1, QUrl::fromLocalFile(dir.filePath("文件夹")));
    Drop(&shown.page, urls);
    QTRY_COMPARE(shown.sent.size(), 4);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(shown.sent.at(i + 1), QVariantList({kWangFang, "王芳", 2, i + 2, files.at(i)}));
    QVERIFY(shown.page.findChild<QWidget*>("top_tip_frame")->isVisible());
}

void TestMessagePage::pastedPicturesGetTheirOwnFiles() {
    ShownPage shown;
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    QTest::keyClick(shown.page.Input(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(shown.page.Input(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(shown.sent.size(), 2);
    const QString first = shown.sent.at(0).at(4).toString();
    const QString second = shown.sent.at(1).at(4).toString();
    QCOMPARE(shown.sent.at(0).at(2).toInt(), 3);
    QVERIFY(first != second);
    QVERIFY(QFileInfo::exists(first) && QFileInfo::exists(second));
    QVERIFY(shown.page.View()
                ->BubbleAt(shown.page.View()->count() - 1)
                ->content.contains("width='225' height='169'"));
    QVERIFY(shown.page.Input()->toPlainText().isEmpty());

    // A picture file copied elsewhere is sent from where it is, whatever dots its name has.
    QTemporaryDir dir;
    const QString file = dir.filePath("班会.2024.PNG");
    QVERIFY(SavePicture(file, {20, 20}));
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(file)});
    QApplication::clipboard()->setMimeData(mime);
    shown.page.OnPaste();
    QCOMPARE(shown.sent.size(), 3);
    QCOMPARE(shown.sent.at(2), QVariantList({kWangFang, "王芳", 3, 3, file}));

    // Text goes into the editor, known emoji names shown as pictures, and is sent unchanged.
    QApplication::clipboard()->setText("一段文字[ok][不存在]");
    shown.page.OnPaste();
    QCOMPARE(shown.sent.size(), 3);
    QCOMPARE(shown.page.Input()->SentText(), QString("一段文字[ok][不存在]"));
    QVERIFY(shown.page.Input()->toHtml().contains("emoji_default/ok.png"));
    QVERIFY(!shown.page.Input()->toHtml().contains("不存在.png"));

    QCOMPARE(PasteFiles::UniquePath(dir.path(), "班会.2024", "PNG"),
             dir.filePath("班会.2024_1.PNG"));
}

void TestMessagePage::pastedVideoIsSentWithAThumbnail() {
    ShownPage shown;
    QTemporaryDir dir;
    // Not a video the tool can read: the bubble shows a blank frame instead.
    const QString video = dir.filePath("运动会 开幕.MP4");
    QFile file(video);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a video");
    file.close();
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(video)});
    QApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(shown.page.Input(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(shown.sent.size(), 1);
    QCOMPARE(shown.sent.at(0), QVariantList({kWangFang, "王芳", 5, 1, video}));
    const Bubble* bubble = shown.page.View()->BubbleAt(shown.page.View()->count() - 1);
    QCOMPARE(bubble->local_path, video);
    const QRegularExpression picture("src='([^']+)' width='169' height='225'");
    const QRegularExpressionMatch match = picture.match(bubble->content);
    QVERIFY2(match.hasMatch(), qPrintable(bubble->content));
    QVERIFY(QFileInfo(match.captured(1)).fileName().startsWith("运动会 开幕_"));
    QCOMPARE(QImage(match.captured(1)).size(), QSize(360, 480));
}

void TestMessagePage::screenshotIsSentWhenReady() {
    ShownPage shown;
    QTest::mouseClick(shown.page.findChild<QPushButton*>("screen_shot_btn"), Qt::LeftButton);
    QPointer<OEScreenshot> overlay;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<OEScreenshot*>(widget))
            overlay = found;
    }
    QVERIFY(overlay);
    QImage capture(120, 80, QImage::Format_RGB32);
    capture.fill(Qt::blue);
    QApplication::clipboard()->setImage(capture);
    emit overlay->screen_ready();
    QTRY_COMPARE(shown.sent.size(), 1);
    QCOMPARE(shown.sent.at(0).at(2).toInt(), 3);
    QCOMPARE(QImage(shown.sent.at(0).at(4).toString()).size(), QSize(120, 80));
    if (overlay)
        overlay->close();
    // Where the screen cannot be read the tool says so in a box of its own.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget))
            delete widget;
    }
}

void TestMessagePage::failedSendsAreSentAgain() {
    ShownPage shown;
    shown.page.SetSendTimeout(200);
    // A picture refused before, as stored.
    const QString path = QDir::temp().filePath("截图.png");
    MessageItemInfo* picture = OwnRecord(8, kWangFang, 0, 0, QString());
    picture->msg_type = 3;
    picture->url = path;
    Fill(&shown.page, {picture});
    for (const char* text : {"会答复", "没答复", "没答复"})
        shown.Send(QString::fromUtf8(text));
    shown.page.UpdateSendState(1, 1, "31");
    // The engine stored both unanswered ones: each bubble keeps its own row.
    shown.page.TakeClientId(41, 1, "没答复");
    shown.page.TakeClientId(42, 1, "没答复");
    ChatView* view = shown.page.View();
    const int last = view->count() - 1;
    QTRY_COMPARE(view->BubbleAt(last)->state, -1);
    QCOMPARE(view->BubbleAt(last - 1)->state, -1);
    QCOMPARE(view->BubbleAt(last - 2)->state, 1);
    QCOMPARE(view->BubbleAt(last - 1)->client_message_id, 41);
    QCOMPARE(view->BubbleAt(last)->client_message_id, 42);

    // An answer after all puts it right.
    shown.page.UpdateSendState(3, 1, "33");
    QCOMPARE(view->BubbleAt(last)->state, 1);
    // Sent again, a bubble moves to the bottom under a new temporary id.
    shown.page.ReSend(view->item(last - 1));
    QCOMPARE(shown.resent.size(), 1);
    QCOMPARE(shown.resent.at(0), QVariantList({41, kWangFang, "王芳", 1, 4, "没答复"}));
    QCOMPARE(view->count(), last + 1);
    QCOMPARE(view->BubbleAt(last)->tmp_msg_id, 4);
    QCOMPARE(view->BubbleAt(last)->state, Bubble::kNoState);
    shown.page.ReSend(view->item(1));
    QCOMPARE(shown.resent.size(), 2);
    QCOMPARE(shown.resent.at(1), QVariantList({8, kWangFang, "王芳", 3, 5, path}));
    QCOMPARE(view->count(), last + 1);
}

void TestMessagePage::messagesSentBeforeTheFirstRecords() {
    ShownPage shown;
    shown.Send("你好");
    // The first answer loads the newest page, with the message sent here among it.
    MessageItemInfo* own = OwnRecord(11, kWangFang, 1, 2, "你好");
    Fill(&shown.page, {own, Record(12, kWangFang, "你好，张校长")});
    QCOMPARE(Rows(shown.page.View()).mid(1), QStringList({"> 你好", "< 你好，张校长"}));
    QCOMPARE(shown.page.View()->BubbleAt(1)->client_message_id, 11);
}

void TestMessagePage::picturesShowOnceDownloaded() {
    ShownPage shown;
    QSignalSpy opened(shown.page.View(), &ChatView::download_and_play_resource);
    QSignalSpy fetched(shown.page.View(), &ChatView::download_resource);
    MessageItemInfo* picture = Record(1);
    picture->msg_type = 3;
    picture->url = "ref42|春游.png";
    Fill(&shown.page, {picture, Record(2, kWangFang, "看看照片")});
    ChatView* view = shown.page.View();
    const QString path = MediaPath(3, "春游.png");
    QCOMPARE(view->BubbleAt(1)->content, "Error: load image: " + path);
    // Not here: asked for once, however often its row is shown.
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.at(0), QVariantList({3, "ref42|春游.png"}));
    const int before = view->item(1)->sizeHint().height();

    QVERIFY(SavePicture(path, {800, 500}));
    shown.page.ShowAttachment(3, "ref41", path);
    QVERIFY(view->BubbleAt(1)->content.startsWith("Error"));
    shown.page.ShowAttachment(3, "ref42", path);
    QVERIFY(view->BubbleAt(1)->content.contains("width=\"270\" height=\"169\""));
    QVERIFY(view->item(1)->sizeHint().height() > before + 100);

    // Once here, a click shows it full size.
    QVERIFY(ShownItem(view, 1));
    QTest::mouseRelease(view->ItemAt(1)->findChild<QLabel*>("item_content_lab_left"),
                        Qt::LeftButton);
    QVERIFY(opened.isEmpty());
    QCOMPARE(fetched.size(), 1);
    QVERIFY(PictureViewer::Current());
    QCOMPARE(PictureViewer::Current()->Path(), path);
    QCOMPARE(PictureViewer::Current()->PictureSize(), QSize(800, 500));
    PictureViewer::Current()->close();
}

void TestMessagePage::onlyRowsNearTheViewHaveWidgets() {
    ShownPage shown;
    const QDateTime now(QDate(2024, 5, 6), QTime(20, 0));
    Fill(&shown.page, Records(961, 40, kWangFang, now));
    for (int first = 921; first > 0; first -= 40)
        Fill(&shown.page, Records(first, 40, kWangFang, now.addSecs((first - 961) * 60)));
    ChatView* view = shown.page.View();
    QCOMPARE(view->count(), 1001);
    QTRY_VERIFY(view->WidgetCount() < 60);
    QVERIFY(view->WidgetCount() > 0);
    view->scrollToBottom();
    QTRY_VERIFY(view->ItemAt(view->count() - 1));
    QCOMPARE(view->BubbleAt(view->count() - 1)->text, QString("第1000条"));
    QVERIFY(view->WidgetCount() < 60);
}

CORAL_TEST_MAIN(TestMessagePage)
#include "tst_message_page.moc"
