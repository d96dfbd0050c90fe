#pragma once

#include "base/HttpBase.h"

// The to-do and meeting panel's request object. Replies are handed back with
// their "custom_index", which tags each request (ScheduleRequester).
class ScheduleSideHelperHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~ScheduleSideHelperHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
