// The contact directories: each input is taken as the reply of every directory method, read by
// ConnectGroupHelper as the contacts panel asks for them, into the entries the tree is built
// from.
#include <QTreeWidgetItem>

#include "FuzzSupport.h"
#include "login/ConnectGroupHelper.h"

namespace {

ConnectGroupHelper* g_helper = nullptr;

// Every entry is "id,name[,...]".
void CheckEntries(const QStringList& entries) {
    for (const QString& entry : entries)
        fuzz::Expect(entry.contains(QLatin1Char(',')), "an entry holds an id and a name");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    g_helper = new ConnectGroupHelper;
    for (auto signal :
         {&ConnectGroupHelper::load_unit_group_tree, &ConnectGroupHelper::load_public_group_tree,
          &ConnectGroupHelper::load_user_group_tree,
          &ConnectGroupHelper::load_discuss_group_tree}) {
        QObject::connect(g_helper, signal,
                         [](QStringList entries, QTreeWidgetItem*) { CheckEntries(entries); });
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray reply = fuzz::Bytes(data, size);
    QTreeWidgetItem* node = nullptr;
    for (const char* slot : {"ParseUnitGroup", "ParsePublicGroup", "ParseDiscussGroup"}) {
        QMetaObject::invokeMethod(g_helper, slot, Qt::DirectConnection, Q_ARG(QByteArray, reply),
                                  Q_ARG(QTreeWidgetItem*, node));
    }
    for (bool members : {true, false}) {
        QMetaObject::invokeMethod(g_helper, "ParseUserGroup", Qt::DirectConnection,
                                  Q_ARG(QByteArray, reply), Q_ARG(QTreeWidgetItem*, node),
                                  Q_ARG(bool, members));
    }
    return 0;
}
