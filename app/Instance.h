#pragma once

#include <QObject>
#include <memory>

class Account;
class AppController;

// The one running instance: owns the account object and the application controller.
class Instance : public QObject {
    Q_OBJECT
public:
    Instance();
    ~Instance() override;

    static Instance* Current();

    // The gate between start-up and the login window.
    void Start();
    // A second start of the program asked for the window.
    void BringForward();

private:
    Account* account_ = nullptr;
    std::unique_ptr<AppController> controller_;
};
