#pragma once

#include "base/HttpBase.h"

// The schedule page's request object: terms, weeks, sections and the week's entries. Replies are
// handed back with their "custom_index", which tags each request (ScheduleRequester).
class SchedulePageHelperHttp : public HttpBase {
    Q_OBJECT
public:
    using HttpBase::HttpBase;
    ~SchedulePageHelperHttp() override;

protected:
    void OnReply(QNetworkReply* reply, const QByteArray& data, int status_code) override;
};
