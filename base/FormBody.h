#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrlQuery>

// An application/x-www-form-urlencoded body. Every name and value is percent-encoded as UTF-8
// (QUrlQuery would leave "+" alone, which a form decoder turns into a space), so "+", "&", "=",
// "%" and Chinese text arrive exactly as sent.
class FormBody {
public:
    FormBody() = default;
    explicit FormBody(const QUrlQuery& query);

    FormBody& Add(const QString& name, const QString& value);
    FormBody& Add(const QString& name, int value);
    // The value is the Base64 text of the file at `path`, read and encoded piece by piece when
    // the body is built, so the file is held once, as the body; a file that cannot be read gives
    // an empty value.
    FormBody& AddFileBase64(const QString& name, const QString& path);

    QByteArray Encode() const;
    bool IsEmpty() const { return fields_.isEmpty(); }

    static QByteArray Escape(const QString& text);

private:
    struct Field {
        QString name;
        QString value;
        bool file = false;
    };

    static void AppendFileBase64(QByteArray* body, const QString& path);

    QList<Field> fields_;
};
