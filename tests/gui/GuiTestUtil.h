#pragma once

// Shared by the widget tests: fresh account folders, stored login settings, the application
// started on platform-sim, and an answerer for the modal windows (message boxes, the unit
// chooser) that would otherwise block a test.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/AppController.h"
#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "engine/MsgParse.h"
#include "tests/support/SimServer.h"
#include "tests/support/TestHome.h"

namespace gui_test {

// Forgets every stored user and the in-memory account map.
inline void ResetAccounts() {
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    Account::SetupUpdatePath();
    TestHome::Remove(Account::AccountsPath());
    QDir().mkpath(Account::AccountsPath());
}

// Fresh accounts for a case that opens windows: the last one closing must not quit the tests.
inline void ResetApp() {
    ResetAccounts();
    QApplication::setQuitOnLastWindowClosed(false);
}

// Stores `values` as the settings of `user`, who becomes the default account.
inline void StoreAccount(const QString& user, const AccountMap& values) {
    AccountMap& account = Account::GetAccountInfo(user);
    account = values;
    account[QStringLiteral("usr_id")] = user;
    Account::SaveAccountInfo(user);
    Account::ResetState();
}

inline QPushButton* Button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
}

// platform-sim with the demo user remembered, so that he logs in by himself at the first start,
// and the application started on it.
struct DemoApp {
    explicit DemoApp(int hold_ms = 200, int echo_delay_ms = 200) : sim(hold_ms, echo_delay_ms) {
        StoreAccount("zhanglei", {{"rem_psw", "1"},
                                  {"usr_psw", "123456"},
                                  {"cur_unit", sim.UnitRecord()},
                                  {"unit_history", sim.UnitRecord()},
                                  {"Unit_ID", "1001"}});
    }
    // Starts the application; true once the demo user's main window is there.
    bool Start() {
        controller = std::make_unique<AppController>();
        return QTest::qWaitFor([this] { return controller->MainWindow() != nullptr; }, 20000);
    }
    // Waits until the demo history is stored and the poll held, then ends whatever flashing
    // that history started.
    bool Settle() {
        if (!QTest::qWaitFor([this] { return controller->MainWindow() && sim.HeldPolls() == 1; },
                             20000))
            return false;
        // What the parser sent before it asked for the held poll is queued already; the lists
        // and counts follow a moment later.
        QTest::qWait(2 * MsgParse::kWidgetDelayMs);
        QCoreApplication::sendPostedEvents();
        controller->OnStopFlash();
        return true;
    }
    MainWidget* Main() const { return controller->MainWindow(); }

    SimServer sim;
    std::unique_ptr<AppController> controller;
};

// Answers each modal window once as it opens. Message boxes are recorded as "title|text" and
// closed; any other modal window goes to `handler`.
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> handler = nullptr)
        : handler_(std::move(handler)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
        timer_.start();
    }

    const QStringList& Boxes() const { return boxes_; }
    // Boxes that have this button get it pressed instead of being accepted.
    void PressOnBoxes(QMessageBox::StandardButton button) { box_button_ = button; }

private:
    void Check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_)
            return;
        last_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes_ << box->windowTitle() + QLatin1Char('|') + box->text();
            if (QAbstractButton* button = box->button(box_button_))
                button->click();
            else
                box->accept();
        } else if (handler_) {
            handler_(modal);
        }
    }

    std::function<void(QWidget*)> handler_;
    QPointer<QWidget> last_;
    QStringList boxes_;
    QMessageBox::StandardButton box_button_ = QMessageBox::NoButton;
    QTimer timer_;
};

// Runs the event loop until the application quits; 1 when it did not by itself within 20 s.
inline int RunUntilQuit(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(20000);
    return QApplication::exec();
}

}  // namespace gui_test
