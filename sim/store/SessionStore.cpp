#include "sim/store/SessionStore.h"

#include "sim/http/TextUtil.h"
#include "sim/store/SimDb.h"

std::string SessionStore::Open(int64_t user) {
    const std::string session = text_util::RandomHex(16);
    auto lock = db_.Lock();
    db_.Prepare("INSERT INTO sessions (session_id, user_id) VALUES (:session, :user)")
        .Bind(":session", session)
        .Bind(":user", user)
        .Run();
    return session;
}

int64_t SessionStore::UserOf(const std::string& session) {
    if (session.empty())
        return 0;
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare("SELECT user_id FROM sessions WHERE session_id = :session");
    query.Bind(":session", session);
    return query.Next() ? query.Int(0) : 0;
}

int SessionStore::Expire(int64_t user) {
    auto lock = db_.Lock();
    SimStatement count = db_.Prepare("SELECT COUNT(*) FROM sessions WHERE user_id = :user");
    count.Bind(":user", user);
    const int found = count.Next() ? static_cast<int>(count.Int(0)) : 0;
    db_.Prepare("DELETE FROM sessions WHERE user_id = :user").Bind(":user", user).Run();
    return found;
}
