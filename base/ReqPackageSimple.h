#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrlQuery>

class ReqPackageSimpleHttp;

// A GET or form POST to any URL wrapped in a signal that always fires.
class ReqPackageSimple : public QObject {
    Q_OBJECT
public:
    explicit ReqPackageSimple(QObject* parent = nullptr);
    ~ReqPackageSimple() override;

    void Start(int id, bool get, const QString& url, const QUrlQuery& query);

    int Id() const { return id_; }
    QByteArray Data() const { return data_; }

signals:
    void req_data_ready(int id, bool success, QString status_code);

private:
    int id_ = 0;
    QByteArray data_;
    ReqPackageSimpleHttp* http_ = nullptr;
};
