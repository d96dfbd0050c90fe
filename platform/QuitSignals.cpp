#include "QuitSignals.h"

#include <QDebug>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#endif

namespace {

#ifdef Q_OS_UNIX
// Written by the handler, read by the event loop: the handler may do nothing but write().
int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void OnSignalNumber(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t written = ::write(g_pipe[0], &byte, 1);
    static_cast<void>(written);
}
#endif

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}

QuitSignals::~QuitSignals() {
#ifdef Q_OS_UNIX
    if (!notifier_)
        return;
    for (int number : kSignals)
        std::signal(number, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
#endif
}

bool QuitSignals::Install() {
#ifdef Q_OS_UNIX
    if (notifier_ || g_pipe[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;
    notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::OnSignal);
    struct sigaction action = {};
    action.sa_handler = OnSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
    return true;
#else
    return false;
#endif
}

void QuitSignals::OnSignal() {
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) {
        qDebug() << "QuitSignals: signal" << byte << "- quitting";
        emit quit_requested(byte);
    }
#endif
}
