#pragma once

#include <QApplication>
#include <Qt>
#include <memory>

class Instance;

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;

    Qt::HANDLE GuiThreadId() const { return gui_thread_id_; }
    Instance* CurrentInstance() const { return instance_.get(); }

public slots:
    void OpenInstance();
    void OnAboutToQuit();

private:
    Qt::HANDLE gui_thread_id_;
    std::unique_ptr<Instance> instance_;
};
