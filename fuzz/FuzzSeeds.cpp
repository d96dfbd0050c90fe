// Writes the seed corpora of the fuzz targets from platform-sim's own answers: it starts the
// simulator in-process with its demo data, makes the calls the client makes, and saves what
// comes back. Run it after a change to the replies: fuzz-seeds <repository>/fuzz/corpus
#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <string>

#include "base/Account.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "sim/PlatformSim.h"

namespace {

const char kUser[] = "10001";
// The device id the poll target gives itself, so an echo of a message sent from "here" matches.
const char kDevice[] = "fuzz-device";

class Seeds {
public:
    Seeds(PlatformSim& sim, const QString& folder)
        : sim_(sim), folder_(folder), client_("127.0.0.1", sim.Port()) {}

    void Write(const char* target, const char* name, const QByteArray& data) {
        const QString dir = QStringLiteral("%1/%2").arg(folder_, QLatin1String(target));
        QDir().mkpath(dir);
        QFile file(QStringLiteral("%1/%2").arg(dir, QLatin1String(name)));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(data);
        std::printf("%s/%s: %d bytes\n", target, name, data.size());
    }

    QByteArray Post(const std::string& path, const FormBody& body) {
        const QByteArray encoded = body.Encode();
        const auto answer =
            client_.Post(path.c_str(), encoded.constData(), static_cast<size_t>(encoded.size()),
                         "application/x-www-form-urlencoded");
        return answer ? QByteArray::fromStdString(answer->body) : QByteArray();
    }

    std::string Unit(const char* path, const char* method) const {
        return "/unit/1001/" + std::string(path) + method;
    }
    std::string Vendor(const char* method) const {
        return std::string(service_paths::kVendorPath) + method;
    }

    QByteArray Poll(const QString& session, qint64 message, qint64 log, qint64 bell,
                    qint64 num_update) {
        return Post(Unit(service_paths::kInterfacePath, service_paths::method::kMessageGetByMaxID2),
                    FormBody()
                        .Add("User_ID", kUser)
                        .Add("SessionID", session)
                        .Add("MaxMessage_ID", QString::number(message))
                        .Add("MaxMessageLog_ID", QString::number(log))
                        .Add("MaxBellLog_ID", QString::number(bell))
                        .Add("MaxNumUpdateLog_ID", QString::number(num_update))
                        .Add("MathNum", "7"));
    }

    // isRead 2: the messages were read by `user_id`.
    void Read(const QString& user_id, const QString& session, const QString& message_ids) {
        Post("/unit/1001/" + std::string(service_paths::kInterfacePath) +
                 service_paths::method::kMessageReadMulti,
             FormBody()
                 .Add("User_ID", user_id)
                 .Add("SessionID", session)
                 .Add("Unit_ID", "1001")
                 .Add("isRead", "2")
                 .Add("MessageIDs", message_ids));
    }

    QByteArray Login(const QString& user, const QString& password) {
        return Post(Unit(service_paths::kLoginPath, service_paths::method::kLoginUser),
                    FormBody()
                        .Add("loginid", user)
                        .Add("encyptpassword", Account::GetEncryptPSW(password))
                        .Add("onlinetype", "192")
                        .Add("devicename", "")
                        .Add("place", ""));
    }

    QByteArray Send(const QString& session, const QString& content, int client_message_id) {
        return Post(Unit(service_paths::kInterfacePath, service_paths::method::kMessageSend),
                    FormBody()
                        .Add("User_ID", kUser)
                        .Add("UserName", "张磊")
                        .Add("Other_ID", "10002")
                        .Add("OtherName", "王芳")
                        .Add("ClientMessage_ID", QString::number(client_message_id))
                        .Add("ClientCode", kDevice)
                        .Add("Unit_ID", "1001")
                        .Add("SessionID", session)
                        .Add("Content", content));
    }

    PlatformSim& sim_;

private:
    QString folder_;
    httplib::Client client_;
};

// Far past anything the demo holds: the poll brings nothing of that kind.
const qint64 kNone = 900000000;

// A call of the user's own unit with the fields every one of them starts with.
QByteArray UnitCall(Seeds& seeds, const QString& session, const char* path, const char* method,
                    const QList<QPair<QString, QString>>& extra = {}) {
    FormBody body;
    body.Add("User_ID", kUser).Add("SessionID", session).Add("Unit_ID", "1001");
    for (const auto& field : extra)
        body.Add(field.first, field.second);
    return seeds.Post(seeds.Unit(path, method), body);
}

void DirectorySeeds(Seeds& seeds, const QString& session) {
    namespace m = service_paths::method;
    const char* path = service_paths::kInterfacePath;
    const char* target = "fuzz_directory_replies";
    seeds.Write(target, "organisation",
                UnitCall(seeds, session, path, m::kOrgAndUserGetList, {{"org_id", "0"}}));
    seeds.Write(target, "organisation-14",
                UnitCall(seeds, session, path, m::kOrgAndUserGetList, {{"org_id", "14"}}));
    seeds.Write(target, "public-groups", UnitCall(seeds, session, path, m::kPublicGroupGetList));
    seeds.Write(target, "my-groups", UnitCall(seeds, session, path, m::kMyGroupGetList));
    seeds.Write(target, "public-members",
                UnitCall(seeds, session, path, m::kRoleAndUserGetList, {{"role_id", "101"}}));
    seeds.Write(target, "group-members",
                UnitCall(seeds, session, path, m::kGroupUserGetList, {{"group_id", "201"}}));
    seeds.Write(target, "discussions", UnitCall(seeds, session, path, m::kDiscussGroupGetList));
}

void ScheduleSeeds(Seeds& seeds, const QString& session) {
    namespace m = service_paths::method;
    const char* path = service_paths::kSchedulePath;
    const char* target = "fuzz_schedule_replies";
    const QByteArray terms = UnitCall(seeds, session, path, m::kTermGetList);
    seeds.Write(target, "terms", terms);
    const QString term =
        Json(terms).Objects("Velta.R").first().toObject().value("Term_ID").toString();
    const QByteArray weeks =
        UnitCall(seeds, session, path, m::kTermWeekGetList, {{"Term_ID", term}});
    seeds.Write(target, "weeks", weeks);
    seeds.Write(target, "sections", UnitCall(seeds, session, path, m::kScheduleSectionGetXD2));
    const QDate today = QDate::currentDate();
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    const QList<QPair<QString, QString>> week = {
        {"BeginDay", monday.toString("yyyy-MM-dd")},
        {"EndDay", monday.addDays(6).toString("yyyy-MM-dd")}};
    seeds.Write(target, "own-entries",
                UnitCall(seeds, session, path, m::kScheduleGetTotalList, week));
    seeds.Write(target, "unit-entries",
                UnitCall(seeds, session, path, m::kCourseScheduleGetList, week));
    const QList<QPair<QString, QString>> page = {{"PageIndex", "0"}, {"PageSize", "100"}};
    seeds.Write(target, "todos", UnitCall(seeds, session, path, m::kPlanGetToDoList3, page));
    seeds.Write(target, "meetings",
                UnitCall(seeds, session, path, m::kMeetingAppointGetListProcessing, page));
}

// The urls of the attachment messages and a file's download reply.
void AttachmentSeeds(Seeds& seeds, const QString& session, const QByteArray& poll) {
    const char* target = "fuzz_attachments";
    int n = 0;
    QString file_message;
    for (const QJsonValue& value : Json(poll).Objects("Velta.M")) {
        const QJsonObject message = value.toObject();
        seeds.Write(target, QStringLiteral("url-%1").arg(++n).toUtf8().constData(),
                    message.value("MsgUrl").toString().toUtf8());
        if (message.value("MsgType").toString() == "2")
            file_message = message.value("Message_ID").toString();
    }
    seeds.Write(
        target, "file-download",
        UnitCall(seeds, session, service_paths::kInterfacePath,
                 service_paths::method::kMessageFileDownload, {{"Message_ID", file_message}}));
}

void PollSeeds(Seeds& seeds, const QString& session) {
    seeds.Write("fuzz_poll_reply", "history", seeds.Poll(session, 0, 0, 0, 0));
    const qint64 chat = seeds.sim_.SendChat("wangfang", "zhanglei", "材料已经发您了 + & = %").id;
    const QByteArray new_chat = seeds.Poll(session, chat - 1, kNone, kNone, kNone);
    seeds.Write("fuzz_poll_reply", "new-chat", new_chat);
    const qint64 group = seeds.sim_.SendChat("wujun", "-301", "明早七点操场集合[微笑]").id;
    seeds.Write("fuzz_poll_reply", "group", seeds.Poll(session, group - 1, kNone, kNone, kNone));
    const qint64 remind = seeds.sim_
                              .Remind("zhanglei", 9417, "关于期末工作的通知",
                                      "Web/Notice/NoticeView.aspx?Notice_ID=401")
                              .id;
    seeds.Write("fuzz_poll_reply", "reminder", seeds.Poll(session, remind - 1, kNone, 0, 0));
    const qint64 picture = seeds.sim_.SendFile("zhaoli", "zhanglei", 3, "班级.png", "png").id;
    seeds.sim_.SendFile("zhaoli", "zhanglei", 2, "教案.doc", "doc");
    seeds.sim_.SendFile("zhaoli", "zhanglei", 4, "留言.wav", "RIFF", 3);
    const QByteArray attachments = seeds.Poll(session, picture - 1, kNone, kNone, kNone);
    seeds.Write("fuzz_poll_reply", "attachments", attachments);
    AttachmentSeeds(seeds, session, attachments);
    // Sent "from here": the echo carries this installation's code and the local row id 1.
    seeds.Send(session, "你好", 1);
    const QByteArray echo = seeds.Poll(session, picture + 2, kNone, kNone, kNone);
    seeds.Write("fuzz_poll_reply", "own-echo", echo);
    // 王芳 reads the message sent from here, 张磊 the one she sent him.
    const QString echo_id =
        Json(echo).Objects("Velta.M").first().toObject().value("Message_ID").toString();
    seeds.Read("10002", QString::fromStdString(seeds.sim_.OpenSession("wangfang").text), echo_id);
    seeds.Read(kUser, session, QString::number(chat));
    const QByteArray logs = seeds.Poll(session, kNone, 0, kNone, kNone);
    seeds.Write("fuzz_poll_reply", "read-logs", logs);
    seeds.Write("fuzz_poll_reply", "sequence",
                new_chat + '\0' + echo + '\0' + logs + '\0' + new_chat);
    seeds.sim_.ExpireSessions("zhanglei");
    seeds.Write("fuzz_poll_reply", "session-ended", seeds.Poll(session, 0, 0, 0, 0));
}

void LoginSeeds(Seeds& seeds) {
    seeds.Write("fuzz_login_replies", "login-accepted", seeds.Login("zhanglei", "123456"));
    seeds.Write("fuzz_login_replies", "login-refused", seeds.Login("zhanglei", "654321"));
    seeds.Write(
        "fuzz_login_replies", "area-tree",
        seeds.Post(seeds.Vendor(service_paths::method::kAreaGetXD), FormBody().Add("app_id", "1")));
    for (const char* district : {"330110", "330111"}) {
        seeds.Write("fuzz_login_replies", district,
                    seeds.Post(seeds.Vendor(service_paths::method::kUnitGetList),
                               FormBody().Add("area_id", district).Add("keyword", "")));
    }
}

void JsonSeeds(Seeds& seeds, const QString& session) {
    const QByteArray poll = seeds.Poll(session, kNone - 1, kNone, kNone, kNone);
    seeds.Write("fuzz_json_path", "eid", "Velta.EID\n" + poll);
    seeds.Write("fuzz_json_path", "messages",
                "Velta.M\n" + seeds.Poll(session, 0, kNone, kNone, kNone).left(2000));
    seeds.Write("fuzz_json_path", "version",
                "Velta.V.No\n" +
                    seeds.Post(seeds.Vendor(service_paths::method::kVersionGetLast), FormBody()));
    seeds.Write("fuzz_json_path", "top-level", "EID\n" + seeds.Login("zhanglei", "654321"));
}

void FormSeeds(Seeds& seeds) {
    const auto fields = [](const QList<QPair<QString, QString>>& pairs) {
        QByteArray out;
        for (const auto& pair : pairs)
            out += pair.first.toUtf8() + '\0' + pair.second.toUtf8() + '\0';
        return out;
    };
    seeds.Write("fuzz_form_body", "send",
                fields({{"User_ID", kUser},
                        {"UserName", "张磊"},
                        {"ClientCode", kDevice},
                        {"Content", "1+1=2 & 100% [微笑]"}}));
    seeds.Write("fuzz_form_body", "login",
                fields({{"loginid", " zhanglei "}, {"encyptpassword", "a+b/c=1"}}));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds <corpus folder>\n");
        return 2;
    }
    SimOptions options;
    options.port = 0;
    options.hold_ms = 100;
    options.log = [](const std::string&) {};
    PlatformSim sim(options);
    if (!sim.Start())
        return 1;
    Seeds seeds(sim, QString::fromLocal8Bit(argv[1]));
    const QString session = QString::fromStdString(sim.OpenSession("zhanglei").text);
    LoginSeeds(seeds);
    JsonSeeds(seeds, session);
    FormSeeds(seeds);
    DirectorySeeds(seeds, session);
    ScheduleSeeds(seeds, session);
    PollSeeds(seeds, session);
    return 0;
}
