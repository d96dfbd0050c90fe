#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
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

    QByteArray Encode() const;
    bool IsEmpty() const { return fields_.isEmpty(); }

    static QByteArray Escape(const QString& text);

private:
    QList<QPair<QString, QString>> fields_;
};
