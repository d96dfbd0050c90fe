#pragma once

#include "base/HttpBase.h"

class HeartBeatMsgHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~HeartBeatMsgHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
