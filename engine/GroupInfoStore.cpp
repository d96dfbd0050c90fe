#include "GroupInfoStore.h"

#include <QDebug>

#include "base/SqlExec.h"

void GroupInfoStore::Save(const QStringList& infos) {
    for (const QString& info : infos) {
        if (info.isEmpty())
            continue;
        const QStringList parts = info.split(QLatin1Char(','));
        if (parts.size() < 2) {
            qDebug().noquote() << "!!! MsgParse::OnUpdateDBGroupInfo: error: has not id or name"
                               << parts;
            continue;
        }
        bool ok = false;
        const int group_id = parts.at(0).toInt(&ok);
        if (!ok)
            continue;
        // A name may itself contain commas.
        const QString name = info.section(QLatin1Char(','), 1);
        const SqlParams params = {{"group_id", group_id}, {"group_name", name}};
        const bool known =
            !SqlExec::SelectRow(
                 QStringLiteral("SELECT * FROM group_infos WHERE group_id = :group_id;"),
                 {{"group_id", group_id}})
                 .isEmpty();
        if (known) {
            SqlExec::Update(QStringLiteral("UPDATE group_infos SET group_name = :group_name WHERE "
                                           "group_id = :group_id;"),
                            params);
        } else {
            SqlExec::Insert(QStringLiteral("INSERT INTO group_infos (group_id, group_name) VALUES "
                                           "(:group_id, :group_name);"),
                            params);
        }
    }
}

QString GroupInfoStore::Name(int group_id) {
    return SqlExec::SelectString(
        QStringLiteral("SELECT group_name FROM group_infos WHERE group_id = :group_id;"),
        {{"group_id", group_id}});
}
