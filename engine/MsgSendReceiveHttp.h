#pragma once

#include "base/HttpBase.h"

class MsgSendReceiveHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~MsgSendReceiveHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
