// A file carried as Base64 in a reply envelope, found and decoded in the reply bytes.

#include <QtTest>

#include "engine/EnvelopeFile.h"
#include "tests/support/TestMain.h"

namespace {

QByteArray Decoded(const QByteArray& reply, bool* ok) {
    EnvelopeFile file(reply);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    *ok = file.DecodeInto(&out);
    return out.data();
}

}  // namespace

class TestEnvelopeFile : public QObject {
    Q_OBJECT
private slots:
    void fileIsFoundWhereverItStands();
    void base64AsServersWriteIt();
    void brokenTextIsRefused();
    void wholeFileOrNone();
};

void TestEnvelopeFile::fileIsFoundWhereverItStands() {
    const QByteArray data("\x00\x01\xfe\xff binary+/", 14);
    const QByteArray text = data.toBase64();
    // The member name inside other text, nested values before it, the data first or last.
    const QList<QByteArray> replies = {
        R"({"Velta":{"EID":"0","Base64Data":")" + text + R"("}})",
        R"({"Note":"\"Base64Data\":\"AAAA\"","Velta":{"List":[{"Base64Data":"QUFB"},[1,2]],)"
        R"("Flag":true,"N":-1.5e3,"Base64Data":")" +
            text + R"(","EID":"0"}})",
        " {\n \"Velta\" : {\"Base64Data\" : \"" + text + "\" , \"EID\":\"0\"}\n}\n"};
    for (const QByteArray& reply : replies) {
        EnvelopeFile file(reply);
        QVERIFY(file.HasFile());
        QCOMPARE(file.Envelope().Text("Velta.EID"), QString("0"));
        QVERIFY(file.Envelope().Text("Velta.Base64Data").isEmpty());
        bool ok = false;
        QCOMPARE(Decoded(reply, &ok), data);
        QVERIFY(ok);
    }
    EnvelopeFile refused(R"({"Velta":{"EID":"2","ErrorMessage":"文件不存在"}})");
    QVERIFY(!refused.HasFile());
    QCOMPARE(refused.Envelope().Text("Velta.ErrorMessage"), QString("文件不存在"));
    QVERIFY(!EnvelopeFile("<html>Base64Data</html>").Envelope().IsValid());
    QVERIFY(!EnvelopeFile(R"({"Velta":{"Base64Data":"QUJD"})").Envelope().IsValid());
}

void TestEnvelopeFile::base64AsServersWriteIt() {
    QByteArray data;
    for (int i = 0; i < 200000; ++i)
        data.append(static_cast<char>(i * 13 % 256));
    // Escaped slashes, line breaks every 76 characters, the padding left out.
    QByteArray text = data.toBase64();
    QByteArray written;
    for (int i = 0; i < text.size(); i += 76)
        written += text.mid(i, 76) + "\\r\\n";
    written.replace("/", "\\/");
    bool ok = false;
    QCOMPARE(Decoded(R"({"Velta":{"Base64Data":")" + written + R"("}})", &ok), data);
    QVERIFY(ok);
    for (const QByteArray& tail : {QByteArray("QQ"), QByteArray("QUI"), QByteArray("\\u0051Q==")}) {
        const QByteArray expected =
            QByteArray::fromBase64(QByteArray(tail).replace("\\u0051", "Q"));
        QCOMPARE(Decoded(R"({"Velta":{"Base64Data":"QUJD)" + tail + R"("}})", &ok),
                 "ABC" + expected);
        QVERIFY(ok);
    }
}

void TestEnvelopeFile::brokenTextIsRefused() {
    for (const QByteArray& text : {"QUJD*", "QUJDR", "QU=JD", "QQ==QUJD", "QUJD\\u00e9", "Q==="}) {
        bool ok = true;
        Decoded(R"({"Velta":{"Base64Data":")" + text + R"("}})", &ok);
        QVERIFY2(!ok, text.constData());
    }
}

void TestEnvelopeFile::wholeFileOrNone() {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/文件.bin");
    QVERIFY(EnvelopeFile(R"({"Velta":{"Base64Data":"QUJD"}})").WriteTo(path));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("ABC"));
    written.close();
    QVERIFY(!EnvelopeFile(R"({"Velta":{"Base64Data":"QUJDRA=*"}})").WriteTo(path));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("ABC"));
}

CORAL_TEST_GUILESS_MAIN(TestEnvelopeFile)
#include "tst_envelopefile.moc"
