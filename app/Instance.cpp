#include "Instance.h"

#include <QCoreApplication>
#include <QDebug>

#include "AppController.h"
#include "LocalUpdateCheck.h"
#include "base/Account.h"
#include "login/Login.h"

namespace {
Instance* g_instance = nullptr;
}

Instance::Instance() {
    qDebug() << "Instance::Instance";
    g_instance = this;
}

Instance::~Instance() {
    g_instance = nullptr;
    controller_.reset();
}

Instance* Instance::Current() {
    return g_instance;
}

void Instance::Start() {
    account_ = new Account(this);
    Account::SetupUpdatePath();

    const QString update = LocalUpdateCheck::Run();
    if (!update.isEmpty() && update != LocalUpdateCheck::kDeclined &&
        LocalUpdateCheck::StartInstaller(update)) {
        QCoreApplication::exit(0);
        return;
    }
    // A declined or unstartable update goes on to the login window.
    controller_ = std::make_unique<AppController>();
    if (controller_->LoginShown())
        controller_->LoginWindow()->show();
}

void Instance::BringForward() {
    if (controller_)
        controller_->BringForward();
}
