#include "Launcher.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>

#include "Application.h"
#include "Instance.h"
#include "base/AppInfo.h"
#include "platform/Autostart.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "widgets/UiFont.h"

namespace {
const int kThemeIconDelayMs = 500;
}  // namespace

void Launcher::SetupPaths() {
    QString cur_path = QDir::currentPath();
    qDebug().noquote().nospace() << "cur_path: " << cur_path;
    if (cur_path.isEmpty())
        return;
    const QFileInfo info(cur_path);
    const QString resolved = info.isSymLink() ? info.symLinkTarget() : cur_path;
    if (!QFileInfo::exists(resolved))
        return;
    if (!cur_path.endsWith(QLatin1Char('/')))
        cur_path += QLatin1Char('/');
    AppInfo::SetAppPath(cur_path);

    Autostart::Create()->Register(AppInfo::AppPath());
    qDebug().noquote().nospace() << "app_path: " << AppInfo::AppPath();
    qDebug().noquote().nospace() << "tools_path: " << AppInfo::ToolsPath();
    qDebug().noquote().nospace() << "tmp_path: " << AppInfo::TmpPath();
}

void Launcher::QueueFirstStart(Application& app) {
    // The first start runs as the first event of the loop, never inside the constructor.
    QObject trigger;
    QObject::connect(&trigger, &QObject::destroyed, &app, &Application::OpenInstance,
                     Qt::QueuedConnection);
}

void Launcher::SetupHighDpi() {
    // The windows follow the desktop's scale factor, also a fractional one such as 1.5, and
    // images load their @2x variants where the screen needs them.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void Launcher::SetupIdentity(Application& app) {
    // Desktops match the windows to the installed desktop entry and take its icon; the icon
    // compiled in serves where the theme has none (a program run from its build folder).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(AppInfo::kDesktopId));
    const QIcon compiled_in(QStringLiteral(":/resource/ico.png"));
    app.setWindowIcon(compiled_in);
    // Reading the icon theme takes longer than the rest of the start: it waits until the
    // first window is up.
    QTimer::singleShot(kThemeIconDelayMs, &app, [&app, compiled_in] {
        app.setWindowIcon(QIcon::fromTheme(QString::fromLatin1(AppInfo::kDesktopId), compiled_in));
    });
}

void Launcher::SetupRasterOnly() {
    // Every window is drawn by the raster engine: without this, the X11 platform loads the
    // whole OpenGL stack when the first window is made, which is half of the time to the login
    // window. One set by the user is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

int Launcher::Run() {
    QCoreApplication::setApplicationName(QStringLiteral("Coralbridge"));
    // Qt reads these attributes only before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_UseOpenGLES, true);
    SetupHighDpi();
    SetupRasterOnly();
    Application app(argc_, argv_);
    SingleInstance single_instance;
    if (!single_instance.Claim()) {
        qDebug() << "another copy runs for this user: brought it forward";
        return 0;
    }
    QObject::connect(&single_instance, &SingleInstance::activate_requested, &app, [] {
        if (Instance* instance = Instance::Current())
            instance->BringForward();
    });
    QuitSignals quit_signals;
    if (quit_signals.Install())
        QObject::connect(&quit_signals, &QuitSignals::quit_requested, &app,
                         &QCoreApplication::quit);
    SetupIdentity(app);
    UiFont::Install();
    SetupPaths();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, &Application::OnAboutToQuit);
    QueueFirstStart(app);
    return app.exec();
}
