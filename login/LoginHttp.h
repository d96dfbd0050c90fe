#pragma once

#include <QString>

#include "base/HttpBase.h"

// The login window's request object: region list, unit list and the login itself.
class LoginHttp : public HttpBase {
    Q_OBJECT
public:
    explicit LoginHttp(QObject* parent = nullptr);
    ~LoginHttp() override;

    // The network's own words for the last failed request ("Connection refused"), empty after
    // a request that reached the server.
    QString LastError() const { return last_error_; }

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;

private:
    QString last_error_;
};
