// What a bubble shows for a stored message: escaped text with emoji and line breaks, the
// picture size rule, attachments that are missing or mislabelled, and the texts a conversation
// page sends for what was typed.

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "ChatTestUtil.h"
#include "chat/BubbleFactory.h"
#include "chat/FileMessage.h"
#include "chat/InputView.h"
#include "chat/MessageHtml.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

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

}  // namespace

class TestMessageHtml : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(SignIn()); }
    void markupInTextIsShownNotInterpreted();
    void emojiTokensAndLineBreaks();
    void typedTextRoundTrip();
    void editorHtmlWithNoBreakSpaceAndForeignPictures();
    void pictureSizeRule();
    void missingAndMislabelledAttachments();
    void audioLengthAndSide();
    void videoThumbnailOrDefault();
    void fileContents();
    void separatorTexts();
};

void TestMessageHtml::markupInTextIsShownNotInterpreted() {
    const QString text = "<b>粗体</b> & a<b <img src=\"/etc/passwd\"> \"引号\"";
    const QString html = MessageHtml::Text(text);
    QVERIFY(!html.contains("<b>"));
    QVERIFY(ImageSources(html).isEmpty());
    QCOMPARE(Shown(html), text);
}

void TestMessageHtml::emojiTokensAndLineBreaks() {
    const QString html = MessageHtml::Text("[微笑]好[微笑]\r\n[ok] [不存在]\n[a b]x\ry");
    QCOMPARE(ImageSources(html), QStringList({":/resource/emoji_default/微笑.png 30x30",
                                              ":/resource/emoji_default/微笑.png 30x30",
                                              ":/resource/emoji_default/ok.png 30x30",
                                              ":/resource/emoji_default/不存在.png 30x30"}));
    // A CR LF pair is one break, not an empty line between two.
    QCOMPARE(html.count("</p><p>"), 3);
    QVERIFY(html.contains("[a b]x"));
    QVERIFY(html.startsWith("<html><head></head><body><p>"));
}

void TestMessageHtml::typedTextRoundTrip() {
    InputView input;
    input.setPlainText("第一段 a+b & c");
    QTextCursor cursor = input.textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText("第二段");
    input.setTextCursor(cursor);
    input.InsertEmoji("微笑.png");
    QCOMPARE(input.SentText(), QString("第一段 a+b & c\n第二段[微笑]"));
    QCOMPARE(ImageSources(MessageHtml::Text(input.SentText())),
             QStringList({":/resource/emoji_default/微笑.png 30x30"}));

    // Pasted text with emoji names shows them as pictures and sends them unchanged.
    input.clear();
    input.InsertText("收到[ok]，谢谢[不存在]");
    QCOMPARE(input.SentText(), QString("收到[ok]，谢谢[不存在]"));
    QVERIFY(input.toHtml().contains("emoji_default/ok.png"));
    QVERIFY(!input.toHtml().contains("不存在.png"));
}

void TestMessageHtml::editorHtmlWithNoBreakSpaceAndForeignPictures() {
    InputView input;
    input.setPlainText(QString("a") + QChar(0x00a0) + "b");
    QTextImageFormat picture;
    picture.setName("/tmp/picture.png");
    input.textCursor().insertImage(picture);
    QCOMPARE(input.SentText(), QString("a") + QChar(0x00a0) + "b");
    QCOMPARE(InputView::TextFromHtml("<p>not xml", "plain"), QString("plain"));
}

void TestMessageHtml::pictureSizeRule() {
    QCOMPARE(MessageHtml::DisplaySize({334, 100}), QSize(564, 169));
    QCOMPARE(MessageHtml::DisplaySize({333, 5000}), QSize(333, 5000));
    QCOMPARE(MessageHtml::DisplaySize({1000, 2000}), QSize(169, 338));
    QCOMPARE(MessageHtml::DisplaySize({400, 400}), QSize(169, 169));
}

void TestMessageHtml::missingAndMislabelledAttachments() {
    const QString missing = MediaPath(3, "没有.png");
    QCOMPARE(MessageHtml::Image(missing), "Error: load image: " + missing);

    const QString png = MediaPath(3, "课堂 照片.png");
    QVERIFY(SavePicture(png, {334, 100}));
    QCOMPARE(ImageSources(MessageHtml::Image(png)), QStringList({png + " 564x169"}));

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

void TestMessageHtml::audioLengthAndSide() {
    const QString path = MediaPath(4, "留言.wav");
    QCOMPARE(MessageHtml::Audio(path, "ref|留言.wav|12", true), "Error: load audio: " + path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
    file.close();
    const QString received = MessageHtml::Audio(path, "ref|留言.wav|12", true);
    const QString sent = MessageHtml::Audio(path, "ref|留言.wav|7", false);
    QVERIFY(received.contains("audio_left_item.png"));
    QCOMPARE(Shown(received).trimmed(), QString("12\""));
    QVERIFY(sent.contains("audio_right_item.png"));
    QCOMPARE(Shown(sent).trimmed(), QString("7\""));
}

void TestMessageHtml::videoThumbnailOrDefault() {
    const QString video = MediaPath(5, "运动会.mp4");
    QCOMPARE(ImageSources(MessageHtml::Video(video)),
             QStringList({":/resource/default_nail.png 110x141"}));
    const QString thumbnail = QFileInfo(video).absolutePath() + "/运动会_thumbnail.png";
    QVERIFY(SavePicture(thumbnail, {480, 360}));
    QCOMPARE(ImageSources(MessageHtml::Video(video)), QStringList({thumbnail + " 225x169"}));
}

void TestMessageHtml::fileContents() {
    MessageItemInfo* record = OwnRecord(1, kWangFang, -1, 0, QString());
    record->msg_type = 2;
    record->message_id = -1;
    record->url = "/home/张磊/资料.docx";
    QCOMPARE(MessageHtml::FileContent(*record), QString("MsgID_-1|1|/home/张磊/资料.docx"));
    delete record;

    const FileMessage stored = FileMessage::Parse("MsgID_88|0|ref9|期中 安排.docx|128");
    QCOMPARE(stored.name, QString("期中 安排.docx"));
    QCOMPARE(stored.size_kb, 128);
    const FileMessage short_form = FileMessage::Parse("MsgID_88|0|ref9");
    QVERIFY(short_form.name.isEmpty());
    QCOMPARE(short_form.size_kb, 0);
    QTemporaryDir dir;
    QFile local(dir.filePath("计划.pdf"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write(QByteArray(4500, 'x'));
    local.close();
    const FileMessage own = FileMessage::Parse(local.fileName());
    QCOMPARE(own.name, QString("计划.pdf"));
    QCOMPARE(own.size_kb, 4);
    QCOMPARE(FileMessage::IconFor("a.DOCX"), QString("file_default"));
    QCOMPARE(FileMessage::IconFor("a.b.xlsx"), QString("file_excel"));
}

void TestMessageHtml::separatorTexts() {
    const QDate today(2024, 5, 6);
    QCOMPARE(BubbleFactory::SeparatorText(QDateTime(today, QTime(8, 5, 9)), today),
             QString("08:05:09"));
    QCOMPARE(BubbleFactory::SeparatorText(QDateTime(today.addDays(-1), QTime(18, 5, 9)), today),
             QString("2024/5/5 18:05:09"));
    // Pictures sent here are shown from where they were sent; others from the message folder.
    QTemporaryDir dir;
    MessageItemInfo* own = OwnRecord(1, kWangFang, -1, 0);
    own->msg_type = 3;
    own->url = dir.filePath("a.png");
    QVERIFY(SavePicture(own->url, {10, 10}));
    QCOMPARE(BubbleFactory::LocalPathFor(*own), own->url);
    MessageItemInfo* received = Record(2);
    received->msg_type = 3;
    received->url = "ref7|b.png";
    QCOMPARE(BubbleFactory::LocalPathFor(*received), MediaPath(3, "b.png"));
    delete own;
    delete received;
}

CORAL_TEST_MAIN(TestMessageHtml)
#include "tst_message_html.moc"
