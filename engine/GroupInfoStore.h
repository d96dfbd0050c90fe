#pragma once

#include <QString>
#include <QStringList>

// Group names (group_infos), handed over by the contacts panel and shown on group pages.
class GroupInfoStore {
public:
    // Each entry is "group id,group name"; malformed entries are logged and skipped.
    static void Save(const QStringList& infos);
    // Empty when the group is unknown.
    static QString Name(int group_id);
};
