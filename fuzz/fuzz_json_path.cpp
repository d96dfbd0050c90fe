// The reply reader: a document parsed by Json and read by dot paths. The first line of an input
// is the path, the rest the document.
#include <QJsonArray>

#include "FuzzSupport.h"
#include "base/Json.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::Bytes(data, size);
    const int newline = input.indexOf('\n');
    const QString path =
        newline < 0 ? QStringLiteral("Velta.EID") : QString::fromUtf8(input.left(newline));
    const QByteArray document = newline < 0 ? input : input.mid(newline + 1);

    const Json json(document);
    fuzz::Expect(json.IsValid() || json.Root().isEmpty(), "a failed parse leaves no root");
    const QJsonValue value = json.Value(path);
    const QString text = json.Text(path, QStringLiteral("默认"));
    fuzz::Expect(value.isString() || text == QStringLiteral("默认"),
                 "text of a value that is not one is the default");
    json.Array(path);
    json.Objects(path);
    // Paths read below the envelope, as the callers do.
    const QJsonObject velta = json.Value(QStringLiteral("Velta")).toObject();
    json.Text(path, QString(), velta);
    json.Objects(path, velta);
    // The same document given as text.
    const Json again{QString::fromUtf8(document)};
    again.Text(path);
    return 0;
}
