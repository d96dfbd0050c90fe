// The form body encoder: any names and values go out as a body that only holds unreserved
// characters, "%XX", "&" and "=", and a form decoder gets back exactly what was added. The input
// is split at NUL bytes into name, value, name, value ...; a piece left over is the content of a
// file sent as a Base64 field.
#include <QFile>
#include <QUrlQuery>

#include "FuzzSupport.h"
#include "base/FormBody.h"

namespace {

bool OnlyFormCharacters(const QByteArray& body) {
    for (const char c : body) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (!unreserved && c != '%' && c != '&' && c != '=')
            return false;
    }
    return true;
}

// A form decoder as a server runs it.
QList<QPair<QByteArray, QByteArray>> Decode(const QByteArray& body) {
    QList<QPair<QByteArray, QByteArray>> fields;
    if (body.isEmpty())
        return fields;
    for (const QByteArray& field : body.split('&')) {
        const int equals = field.indexOf('=');
        QByteArray name = field.left(equals).replace('+', ' ');
        QByteArray value = field.mid(equals + 1).replace('+', ' ');
        fields.append(
            {QByteArray::fromPercentEncoding(name), QByteArray::fromPercentEncoding(value)});
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> pieces = fuzz::Bytes(data, size).split('\0');
    FormBody form;
    QList<QPair<QByteArray, QByteArray>> sent;
    for (int i = 0; i + 1 < pieces.size(); i += 2) {
        const QString name = QString::fromUtf8(pieces.at(i));
        const QString value = QString::fromUtf8(pieces.at(i + 1));
        form.Add(name, value);
        sent.append({name.toUtf8(), value.toUtf8()});
    }
    if (pieces.size() % 2 == 1) {
        const QString path = fuzz::ScratchFolder() + QStringLiteral("/file");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(pieces.last());
        file.close();
        form.AddFileBase64(QStringLiteral("Base64Data"), path);
        sent.append({"Base64Data", pieces.last().toBase64()});
    }
    const QByteArray body = form.Encode();
    fuzz::Expect(OnlyFormCharacters(body), "only form characters in the body");
    fuzz::Expect(Decode(body) == sent, "the decoder gets back what was added");
    // A query the callers still build as text.
    FormBody(QUrlQuery(QString::fromUtf8(fuzz::Bytes(data, size)))).Encode();
    return 0;
}
