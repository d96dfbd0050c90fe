// Where a system message leads: the page of its category, with the message's own url or the
// general page when the message is not stored, nothing or a "not on the PC" note for other
// categories, and the scheme put in front of a base without one, once.

#include <QSignalSpy>
#include <QtTest>

#include "EngineTestEnv.h"
#include "engine/ExternalLink.h"
#include "engine/MessageStore.h"
#include "tests/support/TestMain.h"

using namespace engine_test;

namespace {

void StoreReminder(int remind_id, int message_id, const QString& url) {
    MessageRecord msg;
    msg.other_id2 = remind_id;
    msg.message_id = message_id;
    msg.url = url;
    QVERIFY(MessageStore::Insert(msg) > 0);
}

}  // namespace

class TestExternalLink : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(SignIn("http://127.0.0.1:9/unit/7/")); }
    void storedMessagesOpenTheirOwnPage();
    void missingMessagesOpenTheGeneralPage();
    void schemeInFrontOnce();
};

void TestExternalLink::storedMessagesOpenTheirOwnPage() {
    StoreReminder(9417, 71, "Web/Notice/NoticeView.aspx?Notice_ID=325");
    // A quote in the stored url is part of the address, not of a statement.
    StoreReminder(2302, 72, "DavEdevo/Affair/AffairView.aspx?Affair_ID=56' OR '1'='1");
    StoreReminder(2202, 73, "17");
    // Same message id, other category: not this message.
    StoreReminder(9418, 75, "Web/Other.aspx");
    ExternalLink link;
    QSignalSpy unsupported(&link, &ExternalLink::dont_support_on_pc);
    QSignalSpy opened(&link, &ExternalLink::open_link);
    // Categories without a page: a note for some, nothing for others.
    for (int remind : {9421, 9419, 9406})
        link.OnOpenSysMsg(remind, 1);
    QCOMPARE(unsupported.size(), 2);
    QVERIFY(opened.isEmpty());
    for (const auto& message :
         {qMakePair(9417, 71), qMakePair(2302, 72), qMakePair(2202, 73), qMakePair(9417, 75)})
        link.OnOpenSysMsg(message.first, message.second);
    QStringList links;
    for (const QVariantList& call : opened)
        links << call.at(0).toString().mid(QString("http://127.0.0.1:9/unit/7//").size());
    QCOMPARE(links, QStringList({"/Web/Notice/NoticeView.aspx?Notice_ID=325",
                                 "/DavEdevo/Affair/AffairView.aspx?Affair_ID=56' OR '1'='1",
                                 "/DavEdevo/SetManage/SetMendDetail.aspx?SetMend_ID=17",
                                 "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047"}));
    QCOMPARE(unsupported.size(), 2);
}

void TestExternalLink::missingMessagesOpenTheGeneralPage() {
    bool unsupported = false;
    const QString notices = "/Web/MSGIndex.aspx?Type=1&MID=24064&RD=58135047";
    QCOMPARE(ExternalLink::PathFor(9428, QString(), false, &unsupported), notices);
    // A stored message without a url names no page of its own either.
    QCOMPARE(ExternalLink::PathFor(9417, QString(), true, &unsupported), notices);
    QVERIFY(ExternalLink::PathFor(9424, QString(), false, &unsupported).isEmpty());
    QVERIFY(!unsupported);
    // Some categories always lead to the same page, some to none on the PC.
    QCOMPARE(ExternalLink::PathFor(9702, "x", true, &unsupported),
             QString("/DavEdevo/MeetingRoomApply/MyMeeting.aspx"));
    QVERIFY(ExternalLink::PathFor(9422, "x", true, &unsupported).isEmpty());
    QVERIFY(unsupported);
}

void TestExternalLink::schemeInFrontOnce() {
    QCOMPARE(ExternalLink::LinkFor("www.school.cn/", "/a.aspx"),
             QString("http://www.school.cn///a.aspx"));
    QCOMPARE(ExternalLink::LinkFor("http://www.school.cn/", "/a.aspx"),
             QString("http://www.school.cn///a.aspx"));
    QCOMPARE(ExternalLink::LinkFor("HTTPS://www.school.cn/", "/a.aspx"),
             QString("HTTPS://www.school.cn///a.aspx"));
}

CORAL_TEST_GUILESS_MAIN(TestExternalLink)
#include "tst_external_link.moc"
