#include "Application.h"

#include <QDebug>
#include <QThread>

#include "Instance.h"
#include "base/ConnectionPool.h"

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), gui_thread_id_(QThread::currentThreadId()) {}

Application::~Application() = default;

void Application::OpenInstance() {
    qDebug() << "Application::OpenInstance: invoke queued";
    instance_ = std::make_unique<Instance>();
    instance_->Start();
}

void Application::OnAboutToQuit() {
    qDebug() << "QCoreApplication::aboutToQuit";
    instance_.reset();
    // The last connection to close takes msg.db's log with it: the next login sees a clean end.
    ConnectionPool::Instance()->CloseConnection();
}
