#pragma once

// Shared by the schedule tests: a signed-in account pointing at a test server or platform-sim,
// and a watch on the debug log for events that leave no other trace (a dropped reply).

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

#include "base/Account.h"

namespace schedule_test {

// Makes `login` the current user of the unit record `unit_record` ("id,name,base url,").
inline void SignIn(const QString& unit_record, const QString& user_id = QStringLiteral("10001"),
                   const QString& session = QStringLiteral("session-1"),
                   const QString& login = QStringLiteral("zhanglei")) {
    Account::ResetState();
    AccountMap& account = Account::GetAccountInfo(login);
    account = {{"usr_id", login},
               {"User_ID", user_id},
               {"SessionID", session},
               {"Unit_ID", unit_record.section(QLatin1Char(','), 0, 0)},
               {"cur_unit", unit_record}};
    Account::SetCurUserId(login);
}

// Counts the debug lines that contain a text while it lives.
class LogWatch {
public:
    explicit LogWatch(const QString& needle) {
        needle_ = needle;
        count_ = 0;
        previous_ = qInstallMessageHandler(&LogWatch::Handle);
    }
    ~LogWatch() { qInstallMessageHandler(previous_); }

    int Count() const {
        QMutexLocker lock(&mutex_);
        return count_;
    }

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        {
            QMutexLocker lock(&mutex_);
            if (text.contains(needle_))
                ++count_;
        }
        if (previous_)
            previous_(type, context, text);
    }

    static inline QString needle_;
    static inline int count_ = 0;
    static inline QMutex mutex_;
    static inline QtMessageHandler previous_ = nullptr;
};

}  // namespace schedule_test
