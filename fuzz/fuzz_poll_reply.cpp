// A poll reply as a server might send it, through MsgParse into a msg.db of its own: the four
// arrays, storing, the conversation and system lists and the signals that follow. An input may
// hold several replies between NUL bytes, stored one after another on top of one message the
// user sent from here. Each input runs inside a savepoint that is rolled back afterwards, so
// the next one finds the same file (the parser's own transaction then joins the savepoint).
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "FuzzSupport.h"
#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/MsgDbSchema.h"
#include "base/SqlExec.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgParse.h"

namespace {

const char kDevice[] = "fuzz-device";
MsgParse* g_parse = nullptr;

void SignIn() {
    const QString home = fuzz::ScratchFolder();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    // A fixed device id, so that saved inputs can carry this installation's echoes.
    QCoreApplication::setApplicationName(QStringLiteral("Coralbridge"));
    QDir().mkpath(home + QStringLiteral("/Coralbridge"));
    QFile(home + QStringLiteral("/Coralbridge/%1-dec").arg(QLatin1String(kDevice)))
        .open(QIODevice::WriteOnly);
    Account::SetupDataRoot();
    AccountMap& account = Account::GetAccountInfo(QStringLiteral("fuzz"));
    account = {{"usr_id", "fuzz"},  {"User_ID", "10001"}, {"UserName", "张磊"},
               {"Unit_ID", "1001"}, {"SessionID", "s"},   {"cur_unit", "1001,u,http://h/,"}};
    Account::SetCurUserId(QStringLiteral("fuzz"));
    const QString db_path = home + QStringLiteral("/msg.db");
    ConnectionPool::Instance()->SetupDBConfig([&db_path](DB_CFG* cfg) {
        cfg->database_name = db_path;
        cfg->database_type = QStringLiteral("QSQLITE");
    });
    fuzz::Expect(MsgDbSchema::Create() && MsgDbSchema::EnsureIndexes(), "schema");
}

// The file every input starts from: the message sent from here (row 1) and its conversation.
void Prepare() {
    // One process alone uses the file: no lock calls for every statement.
    SqlExec::SelectValue(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE;"));
    const QString columns = QStringLiteral(
        "(id, content, other_id, other_id2, other_name, client_message_id, send_or_receive, "
        "is_send, message_id, user_id, user_name, send_date, msg_type, url, is_read, is_del, "
        "client_code, unit_id%1) VALUES (1, '你好', 10002, 0, '王芳', 1, 1, -1, -1, 10001, "
        "'张磊', '2024-05-06T08:09:10', 1, '', 0, 0, :code, 1001%2);");
    const SqlParams code = {{"code", QLatin1String(kDevice)}};
    SqlExec::Insert(QStringLiteral("INSERT INTO message_all ") + columns.arg(QString(), QString()),
                    code);
    SqlExec::Insert(
        QStringLiteral("INSERT INTO message_list ") +
            columns.arg(QStringLiteral(", number, message_order"), QStringLiteral(", 0, 0")),
        code);
}

// What storing may never leave behind, whatever the server sent.
void CheckList() {
    fuzz::Expect(SqlExec::SelectInt(QStringLiteral(
                     "SELECT COUNT(*) FROM (SELECT other_id FROM message_list GROUP BY other_id "
                     "HAVING COUNT(*) > 1);")) == 0,
                 "one conversation row per conversation");
    fuzz::Expect(SqlExec::SelectInt(QStringLiteral(
                     "SELECT COUNT(*) - COUNT(DISTINCT message_order) FROM message_list;")) == 0,
                 "one conversation per place in the list");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::InitCore(argc, argv);
    EngineMetaTypes::Register();
    SignIn();
    g_parse = new MsgParse;
    // Record lists belong to their receiver.
    QObject::connect(g_parse, &MsgParse::update_connect_list_ui,
                     [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(g_parse, &MsgParse::msgs_sys_has_receive,
                     [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    Prepare();
    g_parse->OnStart();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SqlExec::Update(QStringLiteral("SAVEPOINT input;"));
    for (const QByteArray& reply : fuzz::Parts(fuzz::Bytes(data, size)))
        g_parse->OnHeartBeatMsgToParse(QString::fromUtf8(reply));
    CheckList();
    SqlExec::Update(QStringLiteral("ROLLBACK TO input;"));
    SqlExec::Update(QStringLiteral("RELEASE input;"));
    return 0;
}
