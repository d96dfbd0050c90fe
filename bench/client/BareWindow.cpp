// The plain Qt Widgets program the client's start-up is measured against: one window of the
// login window's size, shown as soon as the event loop runs.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench-bare"));
    window.resize(446, 419);
    window.show();
    return app.exec();
}
