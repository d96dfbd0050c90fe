#pragma once

#include <QObject>
#include <QThread>

// A worker alone on its own thread: `OnStart` runs first on it, the owner's quit signal ends
// it, and the finished thread deletes the worker and itself.
namespace worker_thread {

template <typename Owner, typename Worker>
QThread* Attach(Owner* owner, void (Owner::*quit_signal)(), Worker* worker) {
    auto* thread = new QThread;
    // The system shows the worker's name for the thread (top -H, a debugger).
    thread->setObjectName(QLatin1String(worker->metaObject()->className()));
    QObject::connect(thread, &QThread::started, worker, &Worker::OnStart, Qt::QueuedConnection);
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater,
                     Qt::DirectConnection);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater,
                     Qt::DirectConnection);
    QObject::connect(owner, quit_signal, thread, &QThread::quit, Qt::DirectConnection);
    worker->moveToThread(thread);
    return thread;
}

// Quits the thread and waits for it without a time limit; a thread that never ran cannot
// delete its worker on finishing, so both go here.
template <typename Owner>
void Stop(Owner* owner, void (Owner::*quit_signal)(), QThread* thread, QObject* worker) {
    if (!thread)
        return;
    if (thread->isRunning()) {
        (owner->*quit_signal)();
        thread->wait();
        return;
    }
    delete worker;
    delete thread;
}

}  // namespace worker_thread
