#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// A parsed JSON document with reads by dot path ("Velta.V.No").
class Json {
public:
    // Parses the file at `source` when is_file is true, else the text itself.
    explicit Json(const QString& source, bool is_file = false);
    explicit Json(const QByteArray& data);
    ~Json();

    bool IsValid() const { return error_.isEmpty(); }
    QString Error() const { return error_; }
    const QJsonObject& Root() const { return root_; }
    const QJsonDocument& Document() const { return doc_; }

    // The member at `path`, starting from `from` (or from the root when `from` is empty).
    QJsonValue Value(const QString& path, const QJsonObject& from = QJsonObject()) const;
    QString Text(const QString& path, const QString& def = QString(),
                 const QJsonObject& from = QJsonObject()) const;
    // An empty path on an empty `from` gives the document's top-level array.
    QJsonArray Array(const QString& path, const QJsonObject& from = QJsonObject()) const;
    // Members that may come as an array or as a single object, always as an array.
    QJsonArray Objects(const QString& path, const QJsonObject& from = QJsonObject()) const;

    // Writes the document as indented UTF-8; a file that cannot be opened is skipped.
    void Save(const QString& path) const;

private:
    void Parse(const QByteArray& data);

    QJsonDocument doc_;
    QJsonObject root_;
    QString error_;
};
