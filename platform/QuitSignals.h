#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals a desktop sends at logout or shutdown (SIGTERM, SIGHUP, and SIGINT from a
// terminal) into an orderly quit, so the message database is closed as after "退出" and the
// next start need not check it whole. Does nothing where there are no such signals.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Catches the signals from now on; false when they could not be caught.
    bool Install();

signals:
    void quit_requested(int signal_number);

private:
    void OnSignal();

    QSocketNotifier* notifier_ = nullptr;
};
