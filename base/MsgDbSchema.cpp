#include "MsgDbSchema.h"

#include "SqlExec.h"

QStringList MsgDbSchema::CreateStatements() {
    // The blanks inside the first two statements are part of their text.
    return {
        QStringLiteral(
            "create table message_all(id integer primary key autoincrement,                        "
            "   content text, other_id integer, other_id2 integer, other_name varchar(50), "
            "client_message_id integer,                           send_or_receive integer, is_send "
            "integer, message_id integer, user_id integer,                           user_name "
            "varchar(50), send_date datetime, msg_type integer, url varchar(200),                  "
            "         is_read integer, is_del integer, client_code varchar(200), unit_id "
            "integer);"),
        QStringLiteral(
            "create table message_list(id integer primary key autoincrement,                     "
            "content text, other_id integer, other_id2 integer, other_name varchar(50), "
            "client_message_id integer,                   send_or_receive integer, is_send "
            "integer, message_id integer, user_id integer,                   user_name "
            "varchar(50), send_date datetime, msg_type integer, url varchar(200),                  "
            " is_read integer, is_del integer, client_code varchar(200), unit_id integer, number "
            "integer, message_order integer);"),
        QStringLiteral("create table group_infos(id integer primary key autoincrement, group_id "
                       "integer, group_name varchar(50));"),
        QStringLiteral("create table num_update(id integer primary key autoincrement, remind_id "
                       "integer, remind_name varchar(50), num integer, iscount integer );"),
        QStringLiteral(
            "create table max_ids(id integer primary key autoincrement, max_messagelog_id integer, "
            "max_belllog_id integer, max_numupdatelog_id integer);"),
        QStringLiteral("INSERT INTO max_ids (max_messagelog_id, max_belllog_id, "
                       "max_numupdatelog_id) VALUES (0, 0, 0);"),
    };
}

QStringList MsgDbSchema::IndexStatements() {
    return {
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS message_all_message_id ON message_all(message_id);"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS message_all_other_id ON message_all(other_id, id);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS message_all_other_id2 ON message_all(other_id2, "
                       "message_id);"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS message_list_other_id ON message_list(other_id);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS message_list_message_order ON "
                       "message_list(message_order);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS num_update_remind_id ON num_update(remind_id);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS group_infos_group_id ON group_infos(group_id);"),
    };
}

QStringList MsgDbSchema::ReadStatements() {
    const QString message_columns = QStringLiteral(
        "id, content, other_id, other_id2, other_name, client_message_id, send_or_receive, "
        "is_send, message_id, user_id, user_name, send_date, msg_type, url, is_read, is_del, "
        "client_code, unit_id");
    return {
        QStringLiteral("SELECT %1 FROM message_all LIMIT 0;").arg(message_columns),
        QStringLiteral("SELECT %1, number, message_order FROM message_list LIMIT 0;")
            .arg(message_columns),
        QStringLiteral("SELECT id, group_id, group_name FROM group_infos LIMIT 0;"),
        QStringLiteral("SELECT id, remind_id, remind_name, num, iscount FROM num_update LIMIT 0;"),
        QStringLiteral("SELECT id, max_messagelog_id, max_belllog_id, max_numupdatelog_id FROM "
                       "max_ids LIMIT 0;"),
    };
}

namespace {
bool RunAll(const QStringList& statements) {
    for (const QString& sql : statements) {
        if (SqlExec::Insert(sql) == -1)
            return false;
    }
    return true;
}
}  // namespace

bool MsgDbSchema::Create() {
    return RunAll(CreateStatements());
}

bool MsgDbSchema::EnsureIndexes() {
    return RunAll(IndexStatements());
}
