#include "FormBody.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Whole groups of three bytes, so the pieces of Base64 join without padding between them.
constexpr qint64 kPieceBytes = 3 * 64 * 1024;

qint64 Base64Size(qint64 bytes) {
    return (bytes + 2) / 3 * 4;
}

}  // namespace

FormBody::FormBody(const QUrlQuery& query) {
    for (const auto& item : query.queryItems(QUrl::FullyDecoded))
        fields_.append({item.first, item.second, false});
}

FormBody& FormBody::Add(const QString& name, const QString& value) {
    fields_.append({name, value, false});
    return *this;
}

FormBody& FormBody::Add(const QString& name, int value) {
    return Add(name, QString::number(value));
}

FormBody& FormBody::AddFileBase64(const QString& name, const QString& path) {
    fields_.append({name, path, true});
    return *this;
}

QByteArray FormBody::Escape(const QString& text) {
    // Only the unreserved characters stay as they are; "+" and "*" are escaped too.
    return text.toUtf8().toPercentEncoding(QByteArray(), QByteArray("*"));
}

void FormBody::AppendFileBase64(QByteArray* body, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (true) {
        const QByteArray piece = file.read(kPieceBytes).toBase64();
        if (piece.isEmpty())
            return;
        for (const char c : piece) {
            // Of the Base64 alphabet only these three need escaping.
            if (c == '+')
                body->append("%2B", 3);
            else if (c == '/')
                body->append("%2F", 3);
            else if (c == '=')
                body->append("%3D", 3);
            else
                body->append(c);
        }
    }
}

QByteArray FormBody::Encode() const {
    qint64 expected = 0;
    for (const Field& field : fields_) {
        // About one Base64 character in 32 grows into three.
        const qint64 file_text = field.file ? Base64Size(QFileInfo(field.value).size()) : 0;
        expected += field.name.size() + field.value.size() * 3 + file_text + file_text / 16 + 2;
    }
    QByteArray body;
    body.reserve(static_cast<int>(qMin<qint64>(expected, 0x7fffff00)));
    for (const Field& field : fields_) {
        if (!body.isEmpty())
            body.append('&');
        body.append(Escape(field.name)).append('=');
        if (field.file)
            AppendFileBase64(&body, field.value);
        else
            body.append(Escape(field.value));
    }
    return body;
}
