#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

// Qt takes the program name only: the fuzzer's own flags stay where it reads them.
int g_argc = 1;
char* g_argv[2] = {nullptr, nullptr};

void Silent(QtMsgType, const QMessageLogContext&, const QString&) {}

void Prepare(char** argv) {
    qInstallMessageHandler(Silent);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_argv[0] = argv[0];
}

}  // namespace

void InitCore(int*, char*** argv) {
    Prepare(*argv);
    if (!QCoreApplication::instance())
        new QCoreApplication(g_argc, g_argv);
}

QString ScratchFolder() {
    static const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                    ? QStringLiteral("/dev/shm")
                                    : QDir::tempPath();
    static QTemporaryDir folder(base + QStringLiteral("/coral-fuzz-XXXXXX"));
    if (!folder.isValid())
        Fail("no scratch folder");
    return folder.path();
}

QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size));
}

QList<QByteArray> Parts(const QByteArray& input) {
    QList<QByteArray> parts;
    for (const QByteArray& part : input.split('\0')) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts;
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace fuzz
