#include "FreshMessages.h"

#include "MsgLoader.h"
#include "base/SqlExec.h"

MessageItemInfoPointers FreshMessages::Read(int other_id, const QList<QVariantMap>& rows,
                                            int* previous_id) {
    *previous_id = 0;
    if (rows.isEmpty())
        return {};
    *previous_id =
        SqlExec::SelectValue(QStringLiteral("SELECT id FROM message_all WHERE other_id = :other_id "
                                            "AND id < :id ORDER BY id DESC LIMIT 1;"),
                             {{"other_id", other_id}, {"id", rows.first().value("id")}})
            .toInt();
    // The rows as written, not read back: the same records the loader would make of them.
    return MsgLoader::Items(rows);
}
