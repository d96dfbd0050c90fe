#pragma once

#include <QJsonObject>
#include <QString>

#include "PollReply.h"
#include "base/Account.h"

// Reads the four arrays of a poll reply. A field that is missing, a number that is not one or a
// bad date rejects the element, and the first rejected element ends the reading of its array.
class PollReplyReader {
public:
    explicit PollReplyReader(const AccountMap& account);

    PollReply Read(const QString& data) const;

private:
    bool ReadMessage(const QJsonObject& element, MessageRecord* msg) const;
    static bool ReadNumUpdate(const QJsonObject& element, PollReply::NumUpdate* update);
    static bool ReadStatusLog(const QJsonObject& element, PollReply::StatusLog* log);

    int user_id_ = 0;
    QString user_name_;
    int unit_id_ = 0;
};
