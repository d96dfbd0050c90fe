// One bubble: the HTML it shows for a stored message, what the editor sends, send states and the
// failed mark, the avatar's single later look; file bubbles through their downloads, save-as and
// "打开".

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidgetItem>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "ChatTestUtil.h"
#include "GuiTestUtil.h"
#include "base/Account.h"
#include "chat/ChatView.h"
#include "chat/DownloadRegistry.h"
#include "chat/FileMessage.h"
#include "chat/InputView.h"
#include "chat/MessageHtml.h"
#include "chat/MessageItem.h"
#include "chat/MsgFileItem.h"
#include "chat/SaveCopy.h"
#include "platform/FileOpener.h"
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

void Release(QWidget* widget) {
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// Puts the file of `content` where its download would, as the downloader does.
bool Arrive(const QString& content, const QByteArray& data) {
    const Attachment file = Attachment::FromFileContent(content);
    const AttachmentPaths paths;
    const QString path = paths.DownloadPath(file);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return paths.Claim(file, path) && WriteFile(path, data);
}

Bubble FileBubble(const QString& content, int side = Bubble::kLeft) {
    Bubble bubble = Make(side, 2, content);
    bubble.state = side == Bubble::kRight ? 1 : Bubble::kNoState;
    return bubble;
}

// Buttons and labels are named "<role>_<side>".
QPushButton* Button(MsgFileItem* item, const QString& role) {
    return item->findChildren<QPushButton*>(QRegularExpression("^" + role)).value(0);
}

QString LabelText(MsgFileItem* item, const QString& role = "msg_file_state_lab") {
    QLabel* label = item->findChildren<QLabel*>(QRegularExpression("^" + role)).value(0);
    return label ? label->text() : QString();
}

// The buttons shown, left to right, as their texts.
QStringList Buttons(MsgFileItem* item) {
    QStringList shown;
    for (const char* role : {"msg_file_download_btn", "msg_file_save_open_btn"}) {
        QPushButton* button = Button(item, role);
        if (!button->isHidden())
            shown << button->text();
    }
    return shown;
}

// A conversation list with file bubbles and the registry their downloads report through.
struct FileList {
    FileList() {
        view.SetDownloads(&registry);
        view.resize(600, 800);
        view.show();
    }
    MsgFileItem* Add(const Bubble& bubble) {
        view.AddItem(bubble, false);
        return Item(view.count() - 1);
    }
    MsgFileItem* Item(int row) { return view.ItemAt(row)->FileItem(); }

    DownloadRegistry registry;
    ChatView view;
};

}  // namespace

class TestMessageItem : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QListWidgetItem*>(); }
    void init() {
        QVERIFY(SignIn());
        opened_.clear();
        FileOpener::SetUrlHandler([this](const QUrl& url) {
            opened_ << url.toLocalFile();
            return true;
        });
    }
    void cleanup() {
        FileOpener::SetUrlHandler(nullptr);
        SaveCopy::SetAsker(nullptr);
    }
    void textShownEscapedAndSentAsTyped();
    void picturesVoiceAndFileFields();
    void failedMarkSendsAgainOnce();
    void missingAvatarLookedForOnceMore();
    void fileStatesFollowTheirOwnDownload();
    void saveAsCopiesOnceDownloaded();
    void openHandsOverItsOwnFile();

private:
    QStringList opened_;
};

void TestMessageItem::textShownEscapedAndSentAsTyped() {
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

    // What the editor sends: a no-break space kept, a picture that is no emoji left out.
    InputView input;
    input.setPlainText(QString("a") + QChar(0x00a0) + "b");
    QTextImageFormat picture;
    picture.setName("/tmp/picture.png");
    input.textCursor().insertImage(picture);
    QCOMPARE(input.SentText(), QString("a") + QChar(0x00a0) + "b");
    QCOMPARE(InputView::TextFromHtml("<p>not xml", "plain"), QString("plain"));
}

void TestMessageItem::picturesVoiceAndFileFields() {
    // A JPEG named .png is shown from a copy named after its real format; a .jpg as it is.
    const QString lying = MediaPath(3, "拍照.png");
    QVERIFY(SavePicture(lying, {200, 150}, "JPEG"));
    const QString copy = QFileInfo(lying).absolutePath() + "/拍照.jpeg";
    QCOMPARE(ImageSources(MessageHtml::Image(lying)), QStringList({copy + " 200x150"}));
    QVERIFY(QFileInfo::exists(copy));
    const QString jpg = MediaPath(3, "a.jpg");
    QVERIFY(SavePicture(jpg, {10, 10}, "JPEG"));
    QCOMPARE(ImageSources(MessageHtml::Image(jpg)), QStringList({jpg + " 10x10"}));

    // A voice message's length comes with its request.
    const QString voice = MediaPath(4, "留言.wav");
    QCOMPARE(MessageHtml::Audio(voice, "ref|留言.wav|12", true), "Error: load audio: " + voice);
    QVERIFY(WriteFile(voice, "RIFF"));
    QCOMPARE(Shown(MessageHtml::Audio(voice, "ref|留言.wav|12", true)).trimmed(), QString("12\""));
    QCOMPARE(Shown(MessageHtml::Audio(voice, "ref|留言.wav|7", false)).trimmed(), QString("7\""));

    std::unique_ptr<MessageItemInfo> record(OwnRecord(1, kWangFang, -1, 0, QString()));
    record->msg_type = 2;
    record->message_id = -1;
    record->url = "/home/张磊/资料.docx";
    QCOMPARE(MessageHtml::FileContent(*record), QString("MsgID_-1|1|/home/张磊/资料.docx"));
    const FileMessage short_form = FileMessage::Parse("MsgID_88|0|ref9");
    QVERIFY(short_form.name.isEmpty());
    QCOMPARE(short_form.size_kb, 0);
    QCOMPARE(FileMessage::Parse("/tmp/计划.pdf").name, QString("计划.pdf"));
}

void TestMessageItem::failedMarkSendsAgainOnce() {
    ChatView view;
    QSignalSpy resend(&view, &ChatView::resend_item);
    QListWidgetItem row;
    Bubble failed = Make(Bubble::kRight, 1, MessageHtml::Text("没发出去"));
    failed.state = -1;
    MessageItem own(failed, &view, &row);
    QLabel* mark = own.findChild<QLabel*>("item_msg_state_lab");
    QVERIFY(mark->isVisibleTo(&own) && own.Failed());
    Release(mark);
    Release(mark);
    own.SetState(-1);
    Release(mark);
    // The second click came while the first re-send was under way.
    QCOMPARE(resend.size(), 2);
    QCOMPARE(resend.at(0).at(0).value<QListWidgetItem*>(), &row);
    // A sent bubble's mark does nothing.
    own.SetState(1);
    QVERIFY(!own.Failed());
    QCOMPARE(mark->text(), QString("未读"));
    Release(mark);
    QCOMPARE(resend.size(), 2);
    own.SetState(2);
    QCOMPARE(mark->text(), QString("已读"));
    own.SetState(3);
    QVERIFY(!mark->isVisibleTo(&own));

    // Nobody reads a group message for the sender, but a failed one must still say so.
    MessageItem group(Make(Bubble::kRight, 1, MessageHtml::Text("好的"), true), &view);
    QLabel* group_state = group.findChild<QLabel*>("item_msg_state_lab");
    group.SetState(2);
    QVERIFY(!group_state->isVisibleTo(&group));
    group.SetState(-1);
    QVERIFY(group_state->isVisibleTo(&group) && group.Failed());
    // Received bubbles have no state at all.
    MessageItem received(Make(Bubble::kLeft, 1, MessageHtml::Text("好的")), &view);
    received.SetState(2);
    QVERIFY(!received.findChild<QLabel*>("item_msg_state_lab"));
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
    QLabel* late_avatar = late_item.findChild<QLabel*>("item_avatar_lab");
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

void TestMessageItem::fileStatesFollowTheirOwnDownload() {
    FileList list;
    QSignalSpy asked(&list.view, &ChatView::download_resource);
    MsgFileItem* refused = list.Add(FileBubble("MsgID_41|0|files/41|旧教案.doc|20"));
    MsgFileItem* fine = list.Add(FileBubble("MsgID_42|0|files/42|新教案.doc|30"));
    QVERIFY(Arrive("MsgID_43|0|files/43|已有.pdf|1", "pdf"));
    MsgFileItem* present = list.Add(FileBubble("MsgID_43|0|files/43|已有.pdf|1"));
    QCOMPARE(LabelText(present), QString("已下载"));
    QCOMPARE(Buttons(present), QStringList{"打开"});
    QCOMPARE(Buttons(fine), QStringList({"下载", "另存为"}));
    QVERIFY(LabelText(fine, "msg_file_title_lab").contains("新教案.doc"));
    QVERIFY(LabelText(fine, "msg_file_title_lab").contains("(30KB)"));

    // Asked for once, however often clicked while it runs.
    QTest::mouseClick(Button(refused, "msg_file_download_btn"), Qt::LeftButton);
    QTest::mouseClick(Button(fine, "msg_file_download_btn"), Qt::LeftButton);
    QTest::mouseClick(fine, Qt::LeftButton);
    QTest::mouseClick(Button(fine, "msg_file_download_btn"), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.at(1), QVariantList({2, "42|files/42|新教案.doc"}));
    // A list that is gone is forgotten, not called.
    auto* gone = new QObject;
    bool called = false;
    list.registry.Add("44", gone, [&called](const QString&) { called = true; });
    delete gone;
    list.registry.Update({{"41", "0"}, {"42", "37"}, {"44", "50"}, {"99", "10"}});
    QVERIFY(!called);
    QCOMPARE(LabelText(fine), QString("下载中(37％)"));
    list.registry.Update({{"41", "err: 文件已过期"}, {"42", "64"}});
    QCOMPARE(LabelText(refused), QString("错误: 文件已过期"));
    QCOMPARE(Buttons(refused), QStringList({"下载", "另存为"}));
    QCOMPARE(LabelText(fine), QString("下载中(64％)"));
    QCOMPARE(LabelText(present), QString("已下载"));

    QVERIFY(Arrive("MsgID_42|0|files/42|新教案.doc|30", "doc"));
    list.registry.Update({{"41", "err: 文件已过期"}, {"42", "100"}});
    QCOMPARE(LabelText(fine), QString("已下载"));
    QCOMPARE(Buttons(fine), QStringList{"打开"});
    QCOMPARE(LabelText(refused), QString("错误: 文件已过期"));
    // Ended or failed, nothing stays registered; once failed, a click asks again.
    QCOMPARE(list.registry.Size(), 0);
    QTest::mouseClick(refused, Qt::LeftButton);
    QCOMPARE(asked.size(), 3);

    // A file message without a reference has nothing to ask for.
    MsgFileItem* broken = list.Add(FileBubble("MsgID_-1|0|"));
    QTest::mouseClick(Button(broken, "msg_file_download_btn"), Qt::LeftButton);
    QCOMPARE(asked.size(), 3);
    QVERIFY(LabelText(broken).startsWith("错误:"));
}

void TestMessageItem::saveAsCopiesOnceDownloaded() {
    QTemporaryDir dir;
    const QString target = dir.filePath("另存/计划.docx");
    QVERIFY(QDir().mkpath(dir.filePath("另存")));
    QStringList suggested;
    SaveCopy::SetAsker([&](const QString& name) {
        suggested << name;
        return target;
    });
    FileList list;
    list.view.resize(600, 300);
    QSignalSpy asked(&list.view, &ChatView::download_resource);
    const QString content = "MsgID_61|0|files/61|计划.docx|3";
    MsgFileItem* item = list.Add(FileBubble(content));
    QTest::mouseClick(Button(item, "msg_file_save_open_btn"), Qt::LeftButton);
    QVERIFY(suggested.first().endsWith("/计划.docx"));
    QTRY_COMPARE(asked.size(), 1);

    // Progress reaches the row while it is scrolled away.
    Bubble text;
    text.content = MessageHtml::Text("看下面");
    for (int i = 0; i < 30; ++i)
        list.view.AddItem(text, false);
    list.view.scrollToBottom();
    QTRY_VERIFY(!list.view.ItemAt(0));
    list.registry.Update({{"61", "50"}});
    QVERIFY(!QFile::exists(target));
    list.view.scrollToTop();
    QTRY_VERIFY(list.view.ItemAt(0));
    item = list.Item(0);
    QCOMPARE(LabelText(item), QString("下载中(50％)"));

    const QByteArray data(3000, 'x');
    QVERIFY(Arrive(content, data));
    list.registry.Update({{"61", "100"}});
    QCOMPARE(ReadAll(target), data);
    QCOMPARE(LabelText(item), QString("已下载"));

    // Downloaded already: copied at once, without asking the server again.
    QFile::remove(target);
    QVERIFY(Arrive(content, "new"));
    SaveCopy::SetAsker([&](const QString&) { return target; });
    item->SaveAs();
    QCOMPARE(ReadAll(target), QByteArray("new"));
    QCOMPARE(asked.size(), 1);
}

void TestMessageItem::openHandsOverItsOwnFile() {
    FileList list;
    // Two messages with files of the same name.
    const QString first = "MsgID_71|0|files/71|教案.doc|1";
    const QString second = "MsgID_72|0|files/72|教案.doc|1";
    QVERIFY(Arrive(first, "first"));
    QVERIFY(Arrive(second, "second"));
    QTest::mouseClick(Button(list.Add(FileBubble(second)), "msg_file_save_open_btn"),
                      Qt::LeftButton);
    QTest::mouseClick(Button(list.Add(FileBubble(first)), "msg_file_save_open_btn"),
                      Qt::LeftButton);
    QCOMPARE(opened_.size(), 2);
    QCOMPARE(ReadAll(opened_.at(0)), QByteArray("second"));
    QCOMPARE(ReadAll(opened_.at(1)), QByteArray("first"));

    // Sent from here, then moved away.
    QTemporaryDir dir;
    const QString sent = dir.filePath("总结.txt");
    QVERIFY(WriteFile(sent, "x"));
    MsgFileItem* own = list.Add(FileBubble(sent, Bubble::kRight));
    QVERIFY(QFile::remove(sent));
    gui_test::ModalAnswerer answerer;
    QTest::mouseClick(Button(own, "msg_file_save_open_btn"), Qt::LeftButton);
    QCOMPARE(answerer.Boxes(), QStringList({"提示|文件不存在"}));
    QCOMPARE(opened_.size(), 2);

    // Sent from another device: fetched once, and still shown as sent while it comes.
    QSignalSpy fetched(&list.view, &ChatView::download_and_open_resource_send_by_myself);
    MsgFileItem* item = list.Add(FileBubble("MsgID_81|1|files/81|手机上的.pdf|2", Bubble::kRight));
    QCOMPARE(LabelText(item), QString("已发送"));
    QCOMPARE(Buttons(item), QStringList{"打开"});
    QTest::mouseClick(Button(item, "msg_file_save_open_btn"), Qt::LeftButton);
    QTest::mouseClick(Button(item, "msg_file_save_open_btn"), Qt::LeftButton);
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.at(0), QVariantList({2, "81|files/81|手机上的.pdf"}));
    list.registry.Update({{"81", "40"}});
    QVERIFY(LabelText(item).startsWith("下载中"));
    list.registry.Update({{"81", "100"}});
    QCOMPARE(LabelText(item), QString("已发送"));
}

CORAL_TEST_MAIN(TestMessageItem)
#include "tst_message_item.moc"
