// screenshot-try: a window with a screenshot button, wired as the conversation page wires it,
// to try the screenshot tool by hand. It takes no options.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "screenshot/OEScreenshot.h"
#include "widgets/UiFont.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UiFont::Install();

    QWidget window;
    window.setWindowTitle(QStringLiteral("截图试用"));
    auto* button = new QPushButton(QStringLiteral("截图"), &window);
    auto* pasted = new QLabel(QStringLiteral("截图发送后显示在这里"), &window);
    pasted->setAlignment(Qt::AlignCenter);
    pasted->setMinimumSize(480, 320);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(button);
    layout->addWidget(pasted, 1);

    QObject::connect(button, &QPushButton::clicked, [pasted] {
        auto* shot = new OEScreenshot;
        QObject::connect(shot, &OEScreenshot::screen_ready, pasted, [pasted] {
            const QImage image = QGuiApplication::clipboard()->image();
            pasted->setPixmap(QPixmap::fromImage(image).scaled(pasted->size(), Qt::KeepAspectRatio,
                                                               Qt::SmoothTransformation));
        });
    });
    window.show();
    return app.exec();
}
