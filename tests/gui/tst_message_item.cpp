// One bubble: the HTML it shows for a stored message (escaped text with emoji and line breaks,
// mislabelled pictures, voice and video), what the editor sends for odd input, file message
// fields, and its widget: send states, clicks on contents and on the failed mark, the avatar with
// its single later look, and a voice that plays.

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidgetItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "ChatTestUtil.h"
#include "base/Account.h"
#include "chat/BubbleFactory.h"
#include "chat/ChatView.h"
#include "chat/FileMessage.h"
#include "chat/InputView.h"
#include "chat/MessageHtml.h"
#include "chat/MessageItem.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

Q_DECLARE_METATYPE(QListWidgetItem*)

namespace {

// The pictures of `html` as "<source> <width>x<height>".
QStringList ImageSources(const QString& html) {
    QStringList sources;
    QRegularExpression img("<img src=\"([^\"]*)\" width=\"(\\d+)\" height=\"(\\d+)\"");
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        sources << QStringLiteral("%1 %2x%3")
                       .arg(match.captured(1), match.captured(2), match.captured(3));
    }
    return sources;
}

// The text a reader sees in the bubble, pictures left out.
QString Shown(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText().remove(QChar::ObjectReplacementCharacter);
}

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
    void textIsEscapedWithEmojiAndLineBreaks();
    void editorKeepsNoBreakSpaceDropsForeignPictures();
    void mislabelledPictures();
    void voiceAndVideoBubbles();
    void fileMessageFields();
    void stateLabels();
    void clicksOnContentAndFailedMark();
    void missingAvatarLookedForOnceMore();
    void voiceShowsWhilePlaying();
};

void TestMessageItem::textIsEscapedWithEmojiAndLineBreaks() {
    const QString text = "<b>粗体</b> & a<b <img src=\"/etc/passwd\"> \"引号\"";
    const QString html = MessageHtml::Text(text);
    QVERIFY(!html.contains("<b>"));
    QVERIFY(ImageSources(html).isEmpty());
    QCOMPARE(Shown(html), text);

    const QString emoji = MessageHtml::Text("[微笑]好[微笑]\r\n[ok] [不存在]\n[a b]x\ry");
    QCOMPARE(ImageSources(emoji), QStringList({":/resource/emoji_default/微笑.png 30x30",
                                               ":/resource/emoji_default/微笑.png 30x30",
                                               ":/resource/emoji_default/ok.png 30x30",
                                               ":/resource/emoji_default/不存在.png 30x30"}));
    // A CR LF pair is one break, not an empty line between two.
    QCOMPARE(emoji.count("</p><p>"), 3);
    QVERIFY(emoji.contains("[a b]x"));
}

void TestMessageItem::editorKeepsNoBreakSpaceDropsForeignPictures() {
    // A no-break space is kept, a picture that is no emoji left out.
    InputView input;
    input.setPlainText(QString("a") + QChar(0x00a0) + "b");
    QTextImageFormat picture;
    picture.setName("/tmp/picture.png");
    input.textCursor().insertImage(picture);
    QCOMPARE(input.SentText(), QString("a") + QChar(0x00a0) + "b");
    QCOMPARE(InputView::TextFromHtml("<p>not xml", "plain"), QString("plain"));
}

void TestMessageItem::mislabelledPictures() {
    // A JPEG named .png is shown from a copy named after its real format.
    const QString lying = MediaPath(3, "拍照.png");
    QVERIFY(SavePicture(lying, {200, 150}, "JPEG"));
    const QString copy = QFileInfo(lying).absolutePath() + "/拍照.jpeg";
    QCOMPARE(ImageSources(MessageHtml::Image(lying)), QStringList({copy + " 200x150"}));
    QVERIFY(QFileInfo::exists(copy));
    // A .jpg holding JPEG is what it says.
    const QString jpg = MediaPath(3, "a.jpg");
    QVERIFY(SavePicture(jpg, {10, 10}, "JPEG"));
    QCOMPARE(ImageSources(MessageHtml::Image(jpg)), QStringList({jpg + " 10x10"}));
}

void TestMessageItem::voiceAndVideoBubbles() {
    const QString voice = MediaPath(4, "留言.wav");
    QCOMPARE(MessageHtml::Audio(voice, "ref|留言.wav|12", true), "Error: load audio: " + voice);
    QFile file(voice);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("RIFF") == 4);
    file.close();
    // The length comes from the request.
    QCOMPARE(Shown(MessageHtml::Audio(voice, "ref|留言.wav|12", true)).trimmed(), QString("12\""));
    QCOMPARE(Shown(MessageHtml::Audio(voice, "ref|留言.wav|7", false)).trimmed(), QString("7\""));

    const QString video = MediaPath(5, "运动会.mp4");
    QCOMPARE(ImageSources(MessageHtml::Video(video)),
             QStringList({":/resource/default_nail.png 110x141"}));
}

void TestMessageItem::fileMessageFields() {
    std::unique_ptr<MessageItemInfo> record(OwnRecord(1, kWangFang, -1, 0, QString()));
    record->msg_type = 2;
    record->message_id = -1;
    record->url = "/home/张磊/资料.docx";
    QCOMPARE(MessageHtml::FileContent(*record), QString("MsgID_-1|1|/home/张磊/资料.docx"));

    const FileMessage short_form = FileMessage::Parse("MsgID_88|0|ref9");
    QVERIFY(short_form.name.isEmpty());
    QCOMPARE(short_form.size_kb, 0);
    QTemporaryDir dir;
    QFile local(dir.filePath("计划.pdf"));
    QVERIFY(local.open(QIODevice::WriteOnly) && local.write(QByteArray(4500, 'x')) == 4500);
    local.close();
    const FileMessage own = FileMessage::Parse(local.fileName());
    QCOMPARE(own.name, QString("计划.pdf"));
    QCOMPARE(own.size_kb, 4);
    QCOMPARE(FileMessage::IconFor("a.DOCX"), QString("file_default"));
    QCOMPARE(FileMessage::IconFor("a.b.xlsx"), QString("file_excel"));

    // Pictures sent here are shown from where they were sent; others from the message folder.
    std::unique_ptr<MessageItemInfo> picture(OwnRecord(3, kWangFang, -1, 0));
    picture->msg_type = 3;
    picture->url = dir.filePath("a.png");
    QVERIFY(SavePicture(picture->url, {10, 10}));
    QCOMPARE(BubbleFactory::LocalPathFor(*picture), picture->url);
    std::unique_ptr<MessageItemInfo> received(Record(2));
    received->msg_type = 3;
    received->url = "ref7|b.png";
    QCOMPARE(BubbleFactory::LocalPathFor(*received), MediaPath(3, "b.png"));
}

void TestMessageItem::stateLabels() {
    ChatView view;
    MessageItem own(Make(Bubble::kRight, 1, MessageHtml::Text("好的")), &view);
    QLabel* state = Child(&own, "item_msg_state_lab");
    own.SetState(-1);
    QVERIFY(state->isVisibleTo(&own) && own.Failed());
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

    MessageItem text_item(Make(Bubble::kLeft, 1, MessageHtml::Text("你好")), &view);
    Release(Child(&text_item, "item_content_lab_left"));
    Bubble voice = Make(Bubble::kLeft, 4, "voice");
    voice.local_path = MediaPath(4, "留言.wav");
    voice.request = "v1|留言.wav|3";
    voice.reference = "v1";
    MessageItem voice_item(voice, &view);
    // Not here: fetched as soon as it is shown, played when clicked.
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.at(0), QVariantList({4, "v1|留言.wav|3"}));
    Release(Child(&voice_item, "item_content_lab_left"));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0), QVariantList({4, "v1|留言.wav|3"}));

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

void TestMessageItem::voiceShowsWhilePlaying() {
    const QString path = MediaPath(4, "a.wav");
    ChatView view;
    for (const QString& local_path : {path, MediaPath(4, "b.wav")}) {
        Bubble voice = Make(Bubble::kLeft, 4, "<img src=\":/resource/audio_left_item.png\"/>");
        voice.local_path = local_path;
        view.AddItem(voice, false);
    }
    view.SetPlayingVoice(path);
    QVERIFY(view.ItemAt(0)->Playing());
    QVERIFY(!view.ItemAt(1)->Playing());
    QLabel* label = Child(view.ItemAt(0), "item_content_lab_left");
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
