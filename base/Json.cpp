#include "Json.h"

#include <QDebug>
#include <QFile>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QTextStream>

Json::Json(const QString& source, bool is_file) {
    if (!is_file) {
        Parse(source.toUtf8());
        return;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error_ = QStringLiteral("Connot open the file: %1").arg(source);
        qDebug().noquote().nospace() << error_;
        return;
    }
    Parse(file.readAll());
}

Json::Json(const QByteArray& data) {
    Parse(data);
}

Json::~Json() {}

void Json::Parse(const QByteArray& data) {
    QJsonParseError err;
    doc_ = QJsonDocument::fromJson(data, &err);
    if (err.error != QJsonParseError::NoError) {
        error_ = QStringLiteral("%1\r\nOffset: %2").arg(err.errorString()).arg(err.offset);
        qDebug().noquote().nospace() << error_;
        return;
    }
    root_ = doc_.object();
}

QJsonValue Json::Value(const QString& path, const QJsonObject& from) const {
    static const QRegularExpression dot(QStringLiteral("\\."));
    QJsonObject current = from.isEmpty() ? root_ : from;
    const QStringList segments = path.split(dot);
    for (int i = 0; i < segments.size() - 1; ++i) {
        if (current.isEmpty())
            return QJsonValue();
        current = current.value(segments.at(i)).toObject();
    }
    return current.value(segments.last());
}

QString Json::Text(const QString& path, const QString& def, const QJsonObject& from) const {
    return Value(path, from).toString(def);
}

QJsonArray Json::Array(const QString& path, const QJsonObject& from) const {
    if (path.isEmpty() && from.isEmpty())
        return doc_.array();
    return Value(path, from).toArray();
}

QJsonArray Json::Objects(const QString& path, const QJsonObject& from) const {
    const QJsonValue value = Value(path, from);
    if (value.isArray())
        return value.toArray();
    if (value.isObject())
        return QJsonArray{value};
    return QJsonArray();
}

void Json::Save(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << doc_.toJson(QJsonDocument::Indented);
    out.flush();
    file.close();
}
