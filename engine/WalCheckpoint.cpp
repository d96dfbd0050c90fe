#include "WalCheckpoint.h"

#include "base/SqlExec.h"

void WalCheckpoint::DeferAutomatic() {
    SqlExec::SelectValue(QStringLiteral("PRAGMA wal_autocheckpoint=%1;").arg(kMaxPages));
}

void WalCheckpoint::RunPassive() {
    SqlExec::SelectValue(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE);"));
}
