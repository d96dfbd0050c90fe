#include "EngineMetaTypes.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>

#include "ConnectListItemInfo.h"
#include "MessageItemInfo.h"
#include "MessageSysItemInfo.h"
#include "MsgSearchItemInfo.h"

void EngineMetaTypes::Register() {
    qRegisterMetaType<ConnectListItemInfoPointers>("ConnectListItemInfoPointers");
    qRegisterMetaType<MessageSysItemInfoPointers>("MessageSysItemInfoPointers");
    qRegisterMetaType<MessageItemInfoPointers>("MessageItemInfoPointers");
    qRegisterMetaType<MsgSearchItemInfoPointers>("MsgSearchItemInfoPointers");
    qRegisterMetaType<QList<int>>("QList<int>");
    qRegisterMetaType<QHash<QString, QString>>("QHash<QString,QString>");
}
