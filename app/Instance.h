#pragma once

#include <QObject>

class Account;

// The one running instance: owns the account object and the application controller.
class Instance : public QObject {
    Q_OBJECT
public:
    Instance();
    ~Instance() override;

    static Instance* Current();

    // The gate between start-up and the login window.
    void Start();

private:
    Account* account_ = nullptr;
};
