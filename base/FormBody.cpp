#include "FormBody.h"

FormBody::FormBody(const QUrlQuery& query) {
    for (const auto& item : query.queryItems(QUrl::FullyDecoded))
        fields_.append(item);
}

FormBody& FormBody::Add(const QString& name, const QString& value) {
    fields_.append({name, value});
    return *this;
}

FormBody& FormBody::Add(const QString& name, int value) {
    return Add(name, QString::number(value));
}

QByteArray FormBody::Escape(const QString& text) {
    // Only the unreserved characters stay as they are; "+" and "*" are escaped too.
    return text.toUtf8().toPercentEncoding(QByteArray(), QByteArray("*"));
}

QByteArray FormBody::Encode() const {
    QByteArray body;
    for (const auto& field : fields_) {
        if (!body.isEmpty())
            body.append('&');
        body.append(Escape(field.first)).append('=').append(Escape(field.second));
    }
    return body;
}
