// One conversation row's widget: send states, clicks on contents and on the failed mark, the
// avatar with its single later look, the play mark of a video, the file bubble and a voice that
// plays.

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidgetItem>
#include <QSignalSpy>
#include <QtTest>

#include "ChatTestUtil.h"
#include "base/Account.h"
#include "chat/ChatView.h"
#include "chat/MessageHtml.h"
#include "chat/MessageItem.h"
#include "chat/PictureViewer.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

Q_DECLARE_METATYPE(QListWidgetItem*)

namespace {

Bubble Make(int side, int msg_type, const QString& content, bool group = false) {
    Bubble bubble;
    bubble.side = side;
    bubble.msg_type = msg_type;
    bubble.content = content;
    bubble.group = group;
    return bubble;
}

QLabel* Child(QWidget* item, const QString& name) {
    return item->findChild<QLabel*>(name);
}

void Release(QWidget* widget) {
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

}  // namespace

class TestMessageItem : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QListWidgetItem*>(); }
    void init() { QVERIFY(SignIn()); }
    void stateLabels();
    void clicksOnContentAndFailedMark();
    void missingAvatarLookedForOnceMore();
    void videoPlayMarkOverTheMiddle();
    void fileBubbleShowsNameAndSize();
    void voiceShowsWhilePlaying();
};

void TestMessageItem::stateLabels() {
    ChatView view;
    MessageItem own(Make(Bubble::kRight, 1, MessageHtml::Text("好的")), &view);
    QLabel* state = Child(&own, "item_msg_state_lab");
    own.SetState(-1);
    QVERIFY(state->isVisibleTo(&own) && own.Failed());
    QCOMPARE(state->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(state->size(), QSize(21, 20));
    own.SetState(0);
    QVERIFY(!own.Failed());
    QCOMPARE(state->text(), QString("未读"));
    own.SetState(1);
    QCOMPARE(state->text(), QString("未读"));
    own.SetState(2);
    QCOMPARE(state->text(), QString("已读"));
    QVERIFY(state->isVisibleTo(&own));
    own.SetState(3);
    QVERIFY(!state->isVisibleTo(&own));

    // Nobody reads a group message for the sender, but a failed one must still say so.
    MessageItem group(Make(Bubble::kRight, 1, MessageHtml::Text("好的"), true), &view);
    QLabel* group_state = Child(&group, "item_msg_state_lab");
    group.SetState(2);
    QVERIFY(!group_state->isVisibleTo(&group));
    group.SetState(-1);
    QVERIFY(group_state->isVisibleTo(&group) && group.Failed());

    // Received bubbles have no state at all.
    MessageItem received(Make(Bubble::kLeft, 1, MessageHtml::Text("好的")), &view);
    received.SetState(2);
    QVERIFY(!Child(&received, "item_msg_state_lab"));
}

void TestMessageItem::clicksOnContentAndFailedMark() {
    ChatView view;
    QSignalSpy opened(&view, &ChatView::download_and_play_resource);
    QSignalSpy fetched(&view, &ChatView::download_resource);
    QSignalSpy resend(&view, &ChatView::resend_item);

    Bubble text = Make(Bubble::kLeft, 1, MessageHtml::Text("你好"));
    MessageItem text_item(text, &view);
    Release(Child(&text_item, "item_content_lab_left"));
    const QString voice_path = MediaPath(4, "留言.wav");
    Bubble voice = Make(Bubble::kLeft, 4, "voice");
    voice.local_path = voice_path;
    voice.request = "v1|留言.wav|3";
    voice.reference = "v1";
    MessageItem voice_item(voice, &view);
    // Not here: fetched as soon as it is shown, played when clicked.
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.at(0), QVariantList({4, "v1|留言.wav|3"}));
    Release(Child(&voice_item, "item_content_lab_left"));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0), QVariantList({4, "v1|留言.wav|3"}));

    // A picture that is here opens full size in the viewer.
    const QString path = MediaPath(3, "照片.png");
    QVERIFY(SavePicture(path, {1600, 1200}));
    Bubble image = Make(Bubble::kLeft, 3, MessageHtml::Image(path));
    image.local_path = path;
    image.reference = "p1";
    MessageItem image_item(image, &view);
    Release(Child(&image_item, "item_content_lab_left"));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(fetched.size(), 1);
    QVERIFY(PictureViewer::Current());
    QCOMPARE(PictureViewer::Current()->Path(), path);
    QCOMPARE(PictureViewer::Current()->PictureSize(), QSize(1600, 1200));
    PictureViewer::Current()->close();

    QListWidgetItem row;
    Bubble failed = Make(Bubble::kRight, 1, MessageHtml::Text("没发出去"));
    failed.state = -1;
    MessageItem failed_item(failed, &view, &row);
    QLabel* mark = Child(&failed_item, "item_msg_state_lab");
    Release(mark);
    Release(mark);
    failed_item.SetState(-1);
    Release(mark);
    // The second click came while the first re-send was under way.
    QCOMPARE(resend.size(), 2);
    QCOMPARE(resend.at(0).at(0).value<QListWidgetItem*>(), &row);
    // A sent bubble's mark does nothing.
    failed_item.SetState(1);
    Release(mark);
    failed_item.SetState(-1);
    Release(mark);
    QCOMPARE(resend.size(), 3);
}

void TestMessageItem::missingAvatarLookedForOnceMore() {
    ChatView view;
    QSignalSpy asked(&view, &ChatView::req_avatar);
    Bubble late = Make(Bubble::kLeft, 1, MessageHtml::Text("你好"));
    late.avatar_id = 20001;
    Bubble never = late;
    never.avatar_id = 20002;
    QElapsedTimer since;
    since.start();
    MessageItem late_item(late, &view);
    MessageItem never_item(never, &view);
    MessageItem never_again(never, &view);
    // Each missing picture is asked for once, however many bubbles show it.
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(1).at(0).toString(), QString("20002"));
    QLabel* late_avatar = Child(&late_item, "item_avatar_lab");
    QCOMPARE(late_item.AvatarLookups(), 1);
    QVERIFY(late_avatar->pixmap(Qt::ReturnByValue).isNull());

    // The downloader stores the picture meanwhile.
    QVERIFY(SavePicture(Account::AvatarPath() + "/20001.png", {64, 64}));
    QTRY_VERIFY_WITH_TIMEOUT(!late_avatar->pixmap(Qt::ReturnByValue).isNull(), 5000);
    // The timer is coarse: it may come a little early, never at once.
    QVERIFY(since.elapsed() >= 2500);
    QCOMPARE(late_item.AvatarLookups(), 2);

    // A second look would come 3 s after the first; this comes after that one.
    QTest::qWait(qMax<qint64>(0, 6500 - since.elapsed()));
    QCOMPARE(never_item.AvatarLookups(), 2);
    QCOMPARE(late_item.AvatarLookups(), 2);
}

void TestMessageItem::videoPlayMarkOverTheMiddle() {
    ChatView view;
    MessageItem video(Make(Bubble::kRight, 5, MessageHtml::Video(MediaPath(5, "a.mp4"))), &view);
    video.resize(500, 160);
    video.show();
    QLabel* content = Child(&video, "item_content_lab_right");
    QLabel* play = Child(&video, "item_play_lab");
    QTRY_VERIFY(play->isVisible());
    const QRect c = content->geometry();
    QCOMPARE(play->geometry(),
             QRect(c.left() + c.width() / 2 - 11, c.top() + c.height() / 2 - 10, 22, 21));
}

void TestMessageItem::fileBubbleShowsNameAndSize() {
    ChatView view;
    MessageItem file(Make(Bubble::kLeft, 2, "MsgID_9|0|ref|教学计划.docx|356"), &view);
    QVERIFY(file.FileItem());
    const QString shown = Child(&file, "msg_file_title_lab_rec")->text();
    QVERIFY(shown.contains("教学计划.docx"));
    QVERIFY(shown.contains("(356KB)"));
    QVERIFY(Child(&file, "msg_file_ico_lab")->styleSheet().contains("file_word.png"));
}

void TestMessageItem::voiceShowsWhilePlaying() {
    const QString path = MediaPath(4, "a.wav");
    ChatView view;
    for (int i = 0; i < 2; ++i) {
        Bubble voice = Make(Bubble::kLeft, 4, "<img src=\":/resource/audio_left_item.png\"/>");
        voice.local_path = i == 0 ? path : MediaPath(4, "b.wav");
        view.AddItem(voice, false);
    }
    view.SetPlayingVoice(path);
    QVERIFY(view.ItemAt(0)->Playing());
    QVERIFY(!view.ItemAt(1)->Playing());
    auto* label = Child(view.ItemAt(0), "item_content_lab_left");
    // The waves move while it plays.
    const QString first = label->text();
    QTRY_VERIFY(label->text() != first);
    QVERIFY(label->text().contains("audio_left_"));
    view.SetPlayingVoice(QString());
    QVERIFY(!view.ItemAt(0)->Playing());
    QVERIFY(label->text().contains("audio_left_item.png"));
}

CORAL_TEST_MAIN(TestMessageItem)
#include "tst_message_item.moc"
