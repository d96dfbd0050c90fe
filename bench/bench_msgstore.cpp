// Times the message store over msg.db files of growing size: poll replies of 100 messages fed
// to MsgParse, newest and older pages read by MsgLoader, and, as the floor, a plain prepared
// SQLite insert of the same rows in one transaction. Prints one table and the target checks.
//
//   bench_msgstore [sizes...]      default: 0 1000 100000 1000000
//
// Each file holds its messages across 1000 conversations, ten of which hold 100 messages each
// at every size (the pages read); every figure is the best of three fresh runs.

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QVector>
#include <algorithm>
#include <cstdio>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "bench/BenchMsgDb.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgLoader.h"
#include "engine/MsgParse.h"
#include "engine/WalCheckpoint.h"

namespace {

constexpr int kConversations = 1000;
// Conversations read by the loader: 100 messages each at every size, spread over the file.
constexpr int kMeasured = 10;
constexpr int kMeasuredMessages = 100;
constexpr int kReplies = 20;
constexpr int kPerReply = 100;
constexpr int kUserId = 1001;
constexpr int kFirstOther = 2001;
// Dates in UTC: local times would make the filling itself slow.
const QDateTime kStart(QDate(2020, 9, 1), QTime(8, 0), Qt::UTC);

using Row = bench::TextRow;

struct Result {
    qint64 size = 0;
    double reply_us = 0;       // per message
    double floor_us = 0;       // per row
    double checkpoint_ms = 0;  // copying the log back after the replies
    double newest_ms = 0;
    double older_ms = 0;
};

double Median(QVector<double> values) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

Row MakeRow(int other_id, int message_id, int send_or_receive) {
    return bench::MakeTextRow(kStart, other_id, message_id, send_or_receive);
}

void BindRow(sqlite3_stmt* stmt, const Row& row) {
    bench::BindTextRow(stmt, row, kUserId);
}

// Background conversations get the rest of the messages, in random order.
int OtherOf(qint64 index, qint64 size, int* measured_left) {
    const qint64 step = size / (kMeasured * kMeasuredMessages);
    if (*measured_left > 0 && step > 0 && index % step == 0) {
        --*measured_left;
        return kFirstOther + *measured_left % kMeasured;
    }
    return kFirstOther + kMeasured +
           static_cast<int>(QRandomGenerator::global()->bounded(kConversations - kMeasured));
}

bool Fill(const QString& path, qint64 size) {
    int measured_left = size >= kMeasured * kMeasuredMessages ? kMeasured * kMeasuredMessages : 0;
    return bench::Fill(
        path, size,
        [size, &measured_left](qint64 i) {
            return MakeRow(OtherOf(i, size, &measured_left), static_cast<int>(i + 1),
                           i % 5 == 0 ? 1 : 0);
        },
        BindRow);
}

QList<QList<Row>> MakeReplies(qint64 size) {
    QList<QList<Row>> replies;
    int message_id = static_cast<int>(size);
    for (int r = 0; r < kReplies; ++r) {
        QList<Row> rows;
        for (int i = 0; i < kPerReply; ++i) {
            const int other =
                kFirstOther + static_cast<int>(QRandomGenerator::global()->bounded(kConversations));
            rows.append(MakeRow(other, ++message_id, 0));
        }
        replies.append(rows);
    }
    return replies;
}

QString ReplyText(const QList<Row>& rows) {
    QJsonArray messages;
    for (const Row& row : rows) {
        messages.append(
            QJsonObject{{"Message_ID", QString::number(row.message_id)},
                        {"Send_ID", QString::number(row.other_id)},
                        {"Receive_ID", QString::number(kUserId)},
                        {"Send_ID2", "0"},
                        {"SendName", QStringLiteral("李老师")},
                        {"ReceiveName", QStringLiteral("王老师")},
                        {"MsgContent", QString::fromUtf8(row.content)},
                        {"ClientMessage_ID", "0"},
                        {"SendDate", kStart.addSecs(row.message_id).toString("yyyy/M/d H:mm:ss")},
                        {"MsgType", "1"},
                        {"MsgUrl", ""},
                        {"IsRead", "0"},
                        {"IsDel", "0"},
                        {"ClientCode", ""}});
    }
    const QJsonObject velta{{"EID", "0"}, {"M", messages}};
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"Velta", velta}}).toJson());
}

// Microseconds per stored message: the median reply, against other load on the machine.
double TimeReplies(const QList<QList<Row>>& replies) {
    MsgParse parse;
    QObject::connect(&parse, &MsgParse::update_connect_list_ui,
                     [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(&parse, &MsgParse::msgs_sys_has_receive,
                     [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    parse.OnStart();
    QStringList texts;
    for (const QList<Row>& rows : replies)
        texts.append(ReplyText(rows));
    QVector<double> per_message;
    QElapsedTimer timer;
    for (const QString& text : texts) {
        timer.start();
        parse.OnHeartBeatMsgToParse(text);
        per_message.append(timer.nsecsElapsed() / 1000.0 / kPerReply);
    }
    return Median(per_message);
}

// Microseconds per row of a plain prepared insert of the same rows in one transaction, rolled
// back afterwards; the best of three.
double TimeFloor(const QString& path, const QList<QList<Row>>& replies) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt* insert = bench::PrepareInsert(db, "message_all", false);
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        bench::Exec(db, QStringLiteral("BEGIN"));
        for (const QList<Row>& rows : replies) {
            for (const Row& row : rows) {
                BindRow(insert, row);
                sqlite3_step(insert);
            }
        }
        const double us = timer.nsecsElapsed() / 1000.0 / (kReplies * kPerReply);
        bench::Exec(db, QStringLiteral("ROLLBACK"));
        best = run == 0 ? us : std::min(best, us);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return best;
}

// Milliseconds per newest page and per older page of the measured conversations (medians).
void TimePages(Result* result) {
    MsgLoader loader;
    int first_id = 0;
    QObject::connect(&loader, &MsgLoader::msg_load_ready,
                     [&first_id](MessageItemInfoPointers list) {
                         first_id = list.isEmpty() ? 0 : list.first()->id;
                         qDeleteAll(list);
                     });
    constexpr int kRounds = 10;
    QVector<double> newest;
    QVector<double> older;
    QElapsedTimer timer;
    for (int round = 0; round < kRounds; ++round) {
        for (int c = 0; c < kMeasured; ++c) {
            timer.start();
            loader.OnUpdateMsgPage(kFirstOther + c, 0, 0);
            newest.append(timer.nsecsElapsed() / 1e6);
            timer.start();
            loader.OnUpdateMsgPage(kFirstOther + c, first_id, 1);
            older.append(timer.nsecsElapsed() / 1e6);
        }
    }
    result->newest_ms = Median(newest);
    result->older_ms = Median(older);
}

Result MeasureOnce(qint64 size) {
    Result result;
    result.size = size;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("msg.db"));
    std::fprintf(stderr, "filling %lld messages...\n", static_cast<long long>(size));
    if (!Fill(path, size)) {
        std::fprintf(stderr, "could not fill %s\n", qPrintable(path));
        return result;
    }
    bench::UseDatabase(path);
    if (size >= kMeasured * kMeasuredMessages)
        TimePages(&result);
    const QList<QList<Row>> replies = MakeReplies(size);
    result.reply_us = TimeReplies(replies);
    QElapsedTimer checkpoint;
    checkpoint.start();
    WalCheckpoint::RunPassive();
    result.checkpoint_ms = checkpoint.nsecsElapsed() / 1e6;
    result.floor_us = TimeFloor(path, replies);
    ConnectionPool::Instance()->CloseConnection();
    return result;
}

// Other programs on the machine only ever add time: the best of three fresh runs.
Result Measure(qint64 size) {
    constexpr int kRuns = 3;
    Result best = MeasureOnce(size);
    for (int run = 1; run < kRuns; ++run) {
        const Result r = MeasureOnce(size);
        best.reply_us = std::min(best.reply_us, r.reply_us);
        best.floor_us = std::min(best.floor_us, r.floor_us);
        best.checkpoint_ms = std::min(best.checkpoint_ms, r.checkpoint_ms);
        best.newest_ms = std::min(best.newest_ms, r.newest_ms);
        best.older_ms = std::min(best.older_ms, r.older_ms);
    }
    return best;
}

const Result* Find(const QList<Result>& results, qint64 size) {
    for (const Result& result : results) {
        if (result.size == size)
            return &result;
    }
    return nullptr;
}

void Check(const char* what, double value, double limit) {
    std::printf("%-52s %7.2fx  (target <= %gx)  %s\n", what, value, limit,
                value <= limit ? "ok" : "MISSED");
}

void Print(const QList<Result>& results) {
    const Result* empty = Find(results, 0);
    std::printf("\n%12s %14s %14s %9s %9s %14s %12s %12s\n", "stored msgs", "reply us/msg",
                "floor us/row", "x floor", "x empty", "checkpoint ms", "newest ms", "older ms");
    for (const Result& r : results) {
        std::printf("%12lld %14.1f %14.2f %9.1f %9.2f", static_cast<long long>(r.size), r.reply_us,
                    r.floor_us, r.reply_us / r.floor_us,
                    empty ? r.reply_us / empty->reply_us : 0.0);
        std::printf(" %14.1f", r.checkpoint_ms);
        if (r.newest_ms > 0)
            std::printf(" %12.3f %12.3f\n", r.newest_ms, r.older_ms);
        else
            std::printf(" %12s %12s\n", "-", "-");
    }
    std::printf("\n");
    const Result* small = Find(results, 1000);
    const Result* large = Find(results, 1000000);
    if (empty && large)
        Check("100-message reply at 1M vs empty database", large->reply_us / empty->reply_us, 2);
    if (large)
        Check("reply per message at 1M vs plain insert", large->reply_us / large->floor_us, 50);
    if (small && large) {
        Check("newest page at 1M vs 1 000", large->newest_ms / small->newest_ms, 2);
        Check("older page at 1M vs 1 000", large->older_ms / small->older_ms, 2);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    EngineMetaTypes::Register();
    Account::SetCurUserId(QStringLiteral("bench"));
    AccountMap& account = Account::GetAccountInfo(QStringLiteral("bench"));
    account["usr_id"] = QStringLiteral("bench");
    account["User_ID"] = QString::number(kUserId);
    account["UserName"] = QStringLiteral("王老师");
    account["Unit_ID"] = QStringLiteral("7");

    QList<qint64> sizes = {0, 1000, 100000, 1000000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes.append(QByteArray(argv[i]).toLongLong());
    }
    QList<Result> results;
    for (qint64 size : sizes)
        results.append(Measure(size));
    Print(results);
    return 0;
}
