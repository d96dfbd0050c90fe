#pragma once

// Accounts for the tests: a clean data folder, and a user saved and made current as a login
// does it.

#include <QCoreApplication>
#include <QStandardPaths>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "tests/support/TestHome.h"

namespace account_env {

// Closes the database and forgets every account, their files included.
inline void Reset() {
    QCoreApplication::setApplicationName(QStringLiteral("Coralbridge"));
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    TestHome::Remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

// Saves `fields` as the account of `login` and makes it the current user; earlier files stay.
inline bool SaveUser(const QString& login, AccountMap fields) {
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    Account::SetupDataRoot();
    fields.insert(QStringLiteral("usr_id"), login);
    Account::GetAccountInfo(login) = fields;
    if (!Account::SaveAccountInfo(login))
        return false;
    Account::SetCurUserId(login);
    return true;
}

}  // namespace account_env
