#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class ReqPackageHttp;

// A GET to the current unit's server wrapped in a signal.
class ReqPackage : public QObject {
    Q_OBJECT
public:
    explicit ReqPackage(QObject* parent = nullptr);
    ~ReqPackage() override;

    void Start(int id, int pass, const QString& path, const QString& text);

    int Id() const { return id_; }
    int Pass() const { return pass_; }
    QString Path() const { return path_; }
    QString Text() const { return text_; }
    QByteArray Data() const { return data_; }

signals:
    void req_data_ready(int id);

private:
    int id_ = 0;
    int pass_ = 0;
    QString path_;
    QByteArray data_;
    QString text_;
    ReqPackageHttp* http_ = nullptr;
};
