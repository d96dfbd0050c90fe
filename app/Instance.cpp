#include "Instance.h"

#include <QCoreApplication>
#include <QDebug>
#include <QProcess>

#include "LocalUpdateCheck.h"
#include "base/Account.h"

namespace {
Instance* g_instance = nullptr;
}

Instance::Instance() {
    qDebug() << "Instance::Instance";
    g_instance = this;
}

Instance::~Instance() {
    g_instance = nullptr;
}

Instance* Instance::Current() {
    return g_instance;
}

void Instance::Start() {
    account_ = new Account(this);
    Account::SetupUpdatePath();

    const QString update = LocalUpdateCheck::Run();
    if (!update.isEmpty() && update != LocalUpdateCheck::kDeclined &&
        QProcess::startDetached(update, QStringList())) {
        QCoreApplication::exit(0);
        return;
    }
    // A declined or unstartable update goes on to the login window.
}
