#pragma once

// Registers every type that engine signals carry across threads: the record lists,
// QList<int> and QHash<QString,QString>. Safe to call more than once.
class EngineMetaTypes {
public:
    static void Register();
};
