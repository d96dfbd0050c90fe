#include "FreshMessages.h"

#include "MsgLoader.h"
#include "base/SqlExec.h"

MessageItemInfoPointers FreshMessages::Read(int other_id, int first_id, int* previous_id) {
    const SqlParams binds{{"other_id", other_id}, {"id", first_id}};
    *previous_id =
        SqlExec::SelectValue(QStringLiteral("SELECT id FROM message_all WHERE other_id = :other_id "
                                            "AND id < :id ORDER BY id DESC LIMIT 1;"),
                             binds)
            .toInt();
    return MsgLoader::Items(SqlExec::SelectRows(
        QStringLiteral("SELECT * FROM message_all WHERE other_id = :other_id AND id >= :id ORDER "
                       "BY id ASC;"),
        binds));
}
