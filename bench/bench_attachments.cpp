// Peak memory of moving one large attachment: sending it with MsgSendReceive
// ("Message_SendFile", the file as Base64 in a form body) and downloading it with
// ResourceDownloader, once as a file ("MessageFile_Download", Base64 in a JSON reply) and once
// as media (the raw bytes under "Upload/"). platform-sim runs as a separate process, so only the
// client's memory is counted. Prints, per step, the peak resident memory above the level before
// the step, as a multiple of the file size.
//
//   bench_attachments [MiB]      default: 50

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/FormBody.h"
#include "base/ServicePaths.h"
#include "base/Services.h"
#include "engine/AttachmentPaths.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgSendReceive.h"
#include "engine/ResourceDownloader.h"

namespace {

constexpr int kZhangLei = 10001;
constexpr int kWangFang = 10002;
constexpr double kTarget = 3.0;
constexpr int kStepTimeoutMs = 300000;

struct Step {
    const char* name;
    double base_mib = 0;
    double peak_mib = 0;
    double seconds = 0;
    bool ok = false;
};

double StatusMib(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

// The peak resident size starts again from what is resident now.
bool ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Runs `start` and the event loop until `done` is called; measures the peak meanwhile.
Step Measure(const char* name, const std::function<void(std::function<void(bool)>)>& start) {
    Step step{name};
    QEventLoop loop;
    step.base_mib = StatusMib("VmRSS");
    if (!ResetPeak())
        std::fprintf(stderr, "cannot reset the peak memory: the figures include earlier steps\n");
    QElapsedTimer timer;
    timer.start();
    start([&step, &loop](bool ok) {
        step.ok = ok;
        loop.quit();
    });
    QTimer::singleShot(kStepTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    step.seconds = timer.elapsed() / 1000.0;
    step.peak_mib = StatusMib("VmHWM");
    return step;
}

QByteArray Digest(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

bool MakeFile(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QVector<quint32> block(256 * 1024);
    for (qint64 written = 0; written < bytes;) {
        QRandomGenerator::global()->fillRange(block.data(), block.size());
        const qint64 size = qMin<qint64>(bytes - written, block.size() * 4);
        if (file.write(reinterpret_cast<const char*>(block.constData()), size) != size)
            return false;
        written += size;
    }
    return true;
}

// platform-sim from beside this program, on a free port.
class Simulator {
public:
    bool Start() {
        process_.setProgram(QCoreApplication::applicationDirPath() + "/platform-sim");
        process_.setArguments({"--port", "0", "--hold-ms", "200"});
        process_.start();
        while (process_.waitForReadyRead(10000)) {
            const QRegularExpressionMatch match =
                QRegularExpression("listening on http://[^:]+:(\\d+)")
                    .match(QString::fromUtf8(process_.readAll()));
            if (match.hasMatch()) {
                port_ = match.captured(1).toInt();
                return port_ > 0;
            }
        }
        return false;
    }
    ~Simulator() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    QString UnitBase() const { return QStringLiteral("http://127.0.0.1:%1/unit/1001/").arg(port_); }
    QString Session(const QString& user) {
        const QJsonObject answer =
            Post(QStringLiteral("http://127.0.0.1:%1/_sim/session").arg(port_),
                 QJsonDocument(QJsonObject{{"user", user}}).toJson(), "application/json");
        return answer.value("text").toString();
    }
    QJsonObject Post(const QString& url, const QByteArray& body, const QByteArray& type) {
        QNetworkRequest request{QUrl(url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader, type);
        QNetworkReply* reply = manager_.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        return QJsonDocument::fromJson(reply->readAll()).object();
    }

private:
    QProcess process_;
    QNetworkAccessManager manager_;
    int port_ = 0;
};

bool SignIn(Simulator& sim, const QString& login, int user_id) {
    ConnectionPool::Instance()->CloseConnection();
    Account::ResetState();
    Account::SetupDataRoot();
    AccountMap& account = Account::GetAccountInfo(login);
    account = {{"usr_id", login},
               {"User_ID", QString::number(user_id)},
               {"UserName", login},
               {"Unit_ID", "1001"},
               {"SessionID", sim.Session(login)},
               {"cur_unit", QStringLiteral("1001,鹿鸣实验小学,%1,").arg(sim.UnitBase())}};
    Account::SaveAccountInfo(login);
    Account::SetCurUserId(login);
    return Account::InitDB() && Account::InitMsgPath() && Account::InitAvatarPath();
}

// The url the poll brings for the message: "reference|name|size".
QString UrlOf(Simulator& sim, qint64 message_id) {
    const AccountMap& account = Account::GetAccountInfo(Account::CurUserId());
    const QByteArray body = FormBody()
                                .Add("User_ID", account.value("User_ID"))
                                .Add("SessionID", account.value("SessionID"))
                                .Add("MaxMessage_ID", QString::number(message_id - 1))
                                .Add("MaxMessageLog_ID", "0")
                                .Add("MaxBellLog_ID", "0")
                                .Add("MaxNumUpdateLog_ID", "0")
                                .Encode();
    const QJsonObject reply =
        sim.Post(Services::InterfaceUrl(sim.UnitBase(),
                                        QLatin1String(service_paths::method::kMessageGetByMaxID2)),
                 body, "application/x-www-form-urlencoded");
    for (const QJsonValue& message : reply.value("Velta").toObject().value("M").toArray()) {
        if (message.toObject().value("Message_ID").toString() == QString::number(message_id))
            return message.toObject().value("MsgUrl").toString();
    }
    return QString();
}

void Print(const QList<Step>& steps, qint64 bytes) {
    const double size_mib = bytes / 1048576.0;
    std::printf("file %.1f MiB\n\n", size_mib);
    std::printf("%-34s %9s %9s %9s %8s %8s\n", "step", "before", "peak", "growth", "x file",
                "seconds");
    bool within = true;
    for (const Step& step : steps) {
        const double growth = step.peak_mib - step.base_mib;
        std::printf("%-34s %8.1fM %8.1fM %8.1fM %8.2f %8.2f%s\n", step.name, step.base_mib,
                    step.peak_mib, growth, growth / size_mib, step.seconds,
                    step.ok ? "" : "  FAILED");
        within = within && step.ok && growth / size_mib <= kTarget;
    }
    std::printf("\ntarget: growth within %.0fx the file size: %s\n", kTarget,
                within ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char* argv[]) {
    // Everything the client writes goes into a folder of its own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    EngineMetaTypes::Register();
    const qint64 bytes = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 50) * 1024 * 1024;

    Simulator sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "platform-sim did not start (build the platform-sim target)\n");
        return 1;
    }
    const QString path = home.path() + "/课堂实录.bin";
    if (!MakeFile(path, bytes) || !SignIn(sim, "zhanglei", kZhangLei))
        return 1;
    const QByteArray digest = Digest(path);
    QList<Step> steps;
    QString message_id;
    {
        MsgSendReceive sender;
        sender.OnStart();
        steps.append(Measure("send (Message_SendFile)", [&](std::function<void(bool)> done) {
            QObject::connect(&sender, &MsgSendReceive::msg_send_state,
                             [&, done](int, int state, QString text) {
                                 message_id = text;
                                 done(state == 1);
                             });
            sender.OnMsgSend(kWangFang, "wangfang", 1, 2, path);
        }));
    }
    if (!SignIn(sim, "wangfang", kWangFang))
        return 1;
    const Attachment attachment =
        Attachment::FromUrl(2, UrlOf(sim, message_id.toLongLong()), false, message_id);
    {
        ResourceDownloader downloader;
        downloader.OnStart();
        steps.append(Measure("download file (MessageFile_Download)", [&](auto done) {
            QObject::connect(&downloader, &ResourceDownloader::update_download_percent,
                             [&, done](QHash<QString, QString> states) {
                                 const QString state = states.value(message_id);
                                 if (state == "100" || state.startsWith("err"))
                                     done(Digest(AttachmentPaths().Find(attachment)) == digest);
                             });
            downloader.OnDownloadResource(2, attachment.RequestText());
        }));
    }
    {
        ResourceDownloader downloader;
        downloader.OnStart();
        Attachment media = attachment;
        media.type = 3;
        steps.append(Measure("download media (Upload/)", [&](auto done) {
            QObject::connect(
                &downloader, &ResourceDownloader::resource_downloaded,
                [&, done](int, QString, QString local) { done(Digest(local) == digest); });
            downloader.OnDownloadResource(3, media.RequestText());
        }));
    }
    Print(steps, bytes);
    return 0;
}
