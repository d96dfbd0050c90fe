// File bubbles in a conversation list: name and size, what each shows while its download runs,
// fails or ends, that a download is asked for once, that save-as copies once the file is here,
// which file "打开" hands to the desktop, and one's own files sent from another device.

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ChatTestUtil.h"
#include "GuiTestUtil.h"
#include "chat/ChatView.h"
#include "chat/DownloadRegistry.h"
#include "chat/MessageHtml.h"
#include "chat/MessageItem.h"
#include "chat/MsgFileItem.h"
#include "chat/SaveCopy.h"
#include "platform/FileOpener.h"
#include "tests/support/TestMain.h"

using namespace chat_test;

namespace {

// Puts the file of `content` where its download would, as the downloader does.
bool Arrive(const QString& content, const QByteArray& data) {
    const Attachment file = Attachment::FromFileContent(content);
    const AttachmentPaths paths;
    const QString path = paths.DownloadPath(file);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    return paths.Claim(file, path) && out.open(QIODevice::WriteOnly) &&
           out.write(data) == data.size();
}

Bubble FileBubble(const QString& content, int side = Bubble::kLeft) {
    Bubble bubble;
    bubble.side = side;
    bubble.msg_type = 2;
    bubble.content = content;
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

class TestMsgFileItem : public QObject {
    Q_OBJECT
private slots:
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
    void statesFollowTheirOwnDownload();
    void progressReachesRowsScrolledAway();
    void downloadIsAskedForOnce();
    void saveAsCopiesOnceDownloaded();
    void openHandsOverItsOwnFile();
    void ownFileFromAnotherDevice();

private:
    QStringList opened_;
};

void TestMsgFileItem::statesFollowTheirOwnDownload() {
    FileList list;
    MsgFileItem* refused = list.Add(FileBubble("MsgID_41|0|files/41|旧教案.doc|20"));
    MsgFileItem* fine = list.Add(FileBubble("MsgID_42|0|files/42|新教案.doc|30"));
    QVERIFY(Arrive("MsgID_43|0|files/43|已有.pdf|1", "pdf"));
    MsgFileItem* present = list.Add(FileBubble("MsgID_43|0|files/43|已有.pdf|1"));
    QCOMPARE(LabelText(present), QString("已下载"));
    QCOMPARE(Buttons(present), QStringList{"打开"});
    QCOMPARE(Buttons(fine), QStringList({"下载", "另存为"}));
    QVERIFY(LabelText(fine, "msg_file_title_lab").contains("新教案.doc"));
    QVERIFY(LabelText(fine, "msg_file_title_lab").contains("(30KB)"));

    QTest::mouseClick(Button(refused, "msg_file_download_btn"), Qt::LeftButton);
    QTest::mouseClick(Button(fine, "msg_file_download_btn"), Qt::LeftButton);
    list.registry.Update({{"41", "0"}, {"42", "37"}});
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
}

void TestMsgFileItem::progressReachesRowsScrolledAway() {
    FileList list;
    list.view.resize(600, 300);
    MsgFileItem* item = list.Add(FileBubble("MsgID_45|0|files/45|大文件.zip|3000"));
    QTest::mouseClick(Button(item, "msg_file_download_btn"), Qt::LeftButton);
    Bubble text;
    text.content = MessageHtml::Text("看下面");
    for (int i = 0; i < 30; ++i)
        list.view.AddItem(text, false);
    list.view.scrollToBottom();
    QTRY_VERIFY(!list.view.ItemAt(0));
    list.registry.Update({{"45", "80"}});
    list.view.scrollToTop();
    QTRY_VERIFY(list.view.ItemAt(0));
    QCOMPARE(LabelText(list.Item(0)), QString("下载中(80％)"));
    list.registry.Update({{"45", "err: 网络中断"}});
    QCOMPARE(LabelText(list.Item(0)), QString("错误: 网络中断"));
}

void TestMsgFileItem::downloadIsAskedForOnce() {
    FileList list;
    QSignalSpy asked(&list.view, &ChatView::download_resource);
    MsgFileItem* item = list.Add(FileBubble("MsgID_51|0|files/51|课表.xlsx|12"));
    QTest::mouseClick(Button(item, "msg_file_download_btn"), Qt::LeftButton);
    QTest::mouseClick(item, Qt::LeftButton);
    QTest::mouseClick(Button(item, "msg_file_download_btn"), Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0), QVariantList({2, "51|files/51|课表.xlsx"}));
    // Once it failed, a click asks again.
    list.registry.Update({{"51", "err: invalid"}});
    QTest::mouseClick(item, Qt::LeftButton);
    QCOMPARE(asked.size(), 2);

    // A file message without a reference has nothing to ask for.
    MsgFileItem* broken = list.Add(FileBubble("MsgID_-1|0|"));
    QTest::mouseClick(Button(broken, "msg_file_download_btn"), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QVERIFY(LabelText(broken).startsWith("错误:"));
}

void TestMsgFileItem::saveAsCopiesOnceDownloaded() {
    QTemporaryDir dir;
    const QString target = dir.filePath("另存/计划.docx");
    QVERIFY(QDir().mkpath(dir.filePath("另存")));
    QStringList suggested;
    SaveCopy::SetAsker([&](const QString& name) {
        suggested << name;
        return target;
    });
    FileList list;
    QSignalSpy asked(&list.view, &ChatView::download_resource);
    const QString content = "MsgID_61|0|files/61|计划.docx|3";
    MsgFileItem* item = list.Add(FileBubble(content));
    QTest::mouseClick(Button(item, "msg_file_save_open_btn"), Qt::LeftButton);
    QVERIFY(suggested.first().endsWith("/计划.docx"));
    QTRY_COMPARE(asked.size(), 1);
    list.registry.Update({{"61", "50"}});
    QVERIFY(!QFile::exists(target));

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

void TestMsgFileItem::openHandsOverItsOwnFile() {
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
    QFile file(sent);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    MsgFileItem* own = list.Add(FileBubble(sent, Bubble::kRight));
    QVERIFY(QFile::remove(sent));
    gui_test::ModalAnswerer answerer;
    QTest::mouseClick(Button(own, "msg_file_save_open_btn"), Qt::LeftButton);
    QCOMPARE(answerer.Boxes(), QStringList({"提示|文件不存在"}));
    QCOMPARE(opened_.size(), 2);
}

void TestMsgFileItem::ownFileFromAnotherDevice() {
    FileList list;
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

CORAL_TEST_MAIN(TestMsgFileItem)
#include "tst_msg_file_item.moc"
