// Times the search of msg.db over files of 10 000 and 1 000 000 stored messages: building the
// index for the messages of an existing file and its size, storing poll replies with the index
// kept and without it, and the first page of results of typical queries. Prints one table and
// the target checks; every figure is the best of three fresh runs, ratios come from one run.
//
//   bench_search [sizes...]        default: 10000 1000000

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/SqlExec.h"
#include "bench/BenchMsgDb.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MessageSearch.h"
#include "engine/MsgParse.h"
#include "engine/SearchIndex.h"
#include "engine/SearchNames.h"
#include "engine/WalCheckpoint.h"

namespace {

constexpr int kConversations = 1000;
constexpr int kUserId = 1001;
constexpr int kFirstOther = 2001;
constexpr int kRuns = 3;
// Poll replies stored with and without the index, in turns of kRepliesPerTurn each.
constexpr int kTurns = 5;
constexpr int kRepliesPerTurn = 4;
constexpr int kPerReply = 100;
// As SearchIndexBuilder steps: rows per build step (about what its 25 ms hold on this
// machine), pages per merge step.
constexpr int kBuildRows = 1500;
constexpr int kMergePages = 100;
constexpr int kQueryRepeats = 5;
const QDateTime kStart(QDate(2019, 9, 1), QTime(8, 0), Qt::UTC);

// Queries of three characters and more, from many hits to none; the first page is timed.
const QStringList kQueries = {"运动会", "期末考试",       "家长会议",  "报名表.doc",
                              "PPT",    "明天上午第二节", "没有这句话"};
// Shorter ones read message_all without the index, within a budget.
const QStringList kShortQueries = {"期末", "表"};

const QStringList& Words() {
    static const QStringList words =
        QStringLiteral(
            "明天 上午 第二节 课 调到 下午 期末 考试 安排 监考 老师 同学 家长 会议 通知 请 大家 "
            "准时 参加 材料 已经 发您 了 收到 好的 谢谢 校长 教务处 教研 备课 作文 数学 语文 "
            "英语 卷子 初稿 审一下 周四 周五 运动会 报名表 整理 跑道 划线 完成 投影仪 修好 公开课 "
            "照片 学校 网站 行政 例会 改到 两点 班主任 工作 手册 质量 分析 报告 培训 报名 请假 "
            "申请 通过 食堂 采购单 签批 三年级 课表 调整 复核 学生 体质 健康 数据 收集 OK 文件 "
            "比较 大 原图 合影 PPT Word 打印 复印 200份 下周一 下周三 集体 主题 是 的 在 和 我们 "
            "你们 他们 这个 那个 一下 可以 需要 还没 什么 时候 怎么 为什么 [微笑] [OK]")
            .split(QLatin1Char(' '));
    return words;
}

QString Sentence(QRandomGenerator* rng, int min_words, int max_words) {
    const int count = static_cast<int>(rng->bounded(min_words, max_words + 1));
    QString text;
    for (int i = 0; i < count; ++i)
        text += Words().at(static_cast<int>(rng->bounded(Words().size())));
    return text;
}

struct Row {
    int other_id = 0;
    int other_id2 = 0;
    int message_id = 0;
    int send_or_receive = 0;
    int msg_type = 1;
    QByteArray content;
    QByteArray url;
    QByteArray date;
};

// One message in a thousand conversations, a fifth of them groups; one in fourteen an
// attachment.
Row MakeRow(QRandomGenerator* rng, int message_id) {
    static const char* const kExtensions[] = {"doc", "pdf", "png", "wav", "avi", "xls"};
    Row row;
    const int conversation = static_cast<int>(rng->bounded(kConversations));
    row.other_id = conversation % 5 == 0 ? -(300 + conversation) : kFirstOther + conversation;
    row.send_or_receive = rng->bounded(3) == 0 ? 1 : 0;
    if (row.other_id < 0 && row.send_or_receive == 0)
        row.other_id2 = kFirstOther + static_cast<int>(rng->bounded(kConversations));
    row.message_id = message_id;
    row.date = kStart.addSecs(message_id * 7).toString(Qt::ISODate).toUtf8();
    if (rng->bounded(14) == 0) {
        row.msg_type = 2 + static_cast<int>(rng->bounded(4));
        row.url = QStringLiteral("upload/%1|%2.%3|%4")
                      .arg(rng->generate(), 8, 16, QLatin1Char('0'))
                      .arg(Sentence(rng, 1, 3), QLatin1String(kExtensions[rng->bounded(6)]))
                      .arg(rng->bounded(1, 900))
                      .toUtf8();
    } else {
        row.content = Sentence(rng, 3, 14).toUtf8();
    }
    return row;
}

void BindRow(sqlite3_stmt* stmt, const Row& row) {
    static const QByteArray other = QStringLiteral("李老师").toUtf8();
    static const QByteArray own = QStringLiteral("王老师").toUtf8();
    auto text = [stmt](int column, const QByteArray& value) {
        sqlite3_bind_text(stmt, column, value.constData(), value.size(), SQLITE_TRANSIENT);
    };
    sqlite3_reset(stmt);
    text(1, row.content);
    sqlite3_bind_int(stmt, 2, row.other_id);
    sqlite3_bind_int(stmt, 3, row.other_id2);
    text(4, other);
    sqlite3_bind_int(stmt, 5, 0);
    sqlite3_bind_int(stmt, 6, row.send_or_receive);
    sqlite3_bind_int(stmt, 7, 1);
    sqlite3_bind_int(stmt, 8, row.message_id);
    sqlite3_bind_int(stmt, 9, kUserId);
    text(10, own);
    text(11, row.date);
    sqlite3_bind_int(stmt, 12, row.msg_type);
    text(13, row.url);
    sqlite3_bind_int(stmt, 14, 2);
    sqlite3_bind_int(stmt, 15, 0);
    sqlite3_bind_text(stmt, 16, "other-device", -1, SQLITE_STATIC);
    sqlite3_bind_int(stmt, 17, 7);
}

// A file as a client of this version finds it on the first start with the index: the five
// tables with their indexes, no search index yet.
bool Fill(const QString& path, int size, QRandomGenerator* rng) {
    return bench::Fill(
        path, size, [rng](qint64 i) { return MakeRow(rng, static_cast<int>(i + 1)); }, BindRow);
}

QString ReplyText(QRandomGenerator* rng, int first_message_id) {
    QJsonArray messages;
    for (int i = 0; i < kPerReply; ++i) {
        const Row row = MakeRow(rng, first_message_id + i);
        const bool group = row.other_id < 0;
        messages.append(QJsonObject{
            {"Message_ID", QString::number(row.message_id)},
            {"Send_ID", QString::number(group ? -row.other_id2 : row.other_id)},
            {"Receive_ID", QString::number(group ? row.other_id : kUserId)},
            {"Send_ID2", QString::number(row.other_id2)},
            {"SendName", QStringLiteral("李老师")},
            {"ReceiveName", QStringLiteral("王老师")},
            {"MsgContent", QString::fromUtf8(row.content)},
            {"ClientMessage_ID", "0"},
            {"SendDate", kStart.addSecs(row.message_id * 7).toString("yyyy/M/d H:mm:ss")},
            {"MsgType", QString::number(row.msg_type)},
            {"MsgUrl", QString::fromUtf8(row.url)},
            {"IsRead", "0"},
            {"IsDel", "0"},
            {"ClientCode", ""}});
    }
    const QJsonObject velta{{"EID", "0"}, {"M", messages}};
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"Velta", velta}}).toJson());
}

// The file's size with its log copied in.
qint64 FileSize(const QString& path) {
    SqlExec::SelectValue(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE);"));
    return QFileInfo(path).size();
}

struct Result {
    int size = 0;
    double before_mb = 0;
    double after_mb = 0;
    double build_us = 0;          // per message
    double store_with_us = 0;     // per message of a poll reply, index kept
    double store_without_us = 0;  // the same without the index
    QMap<QString, double> query_ms;
    double names_first_ms = 0;  // the first name search reads every contact
    double names_ms = 0;
};

void TimeBuild(Result* result) {
    QElapsedTimer timer;
    timer.start();
    int steps = 0;
    const int messages = SqlExec::SelectInt(QStringLiteral("SELECT COUNT(*) FROM message_all;"));
    while (SearchIndex::BuildStep(kBuildRows) > 0) {
        if (++steps % 20 == 0)
            WalCheckpoint::RunPassive();
    }
    while (SearchIndex::MergeStep(kMergePages) > 0) {
        if (++steps % 20 == 0)
            WalCheckpoint::RunPassive();
    }
    WalCheckpoint::RunPassive();
    result->build_us = timer.nsecsElapsed() / 1000.0 / std::max(messages, 1);
}

// Microseconds per stored message of poll replies, into the file with the index and into a
// copy of it made before the index, in turns, so that other load on the machine falls on both
// alike. Every reply goes through MsgParse as the heartbeat hands it over.
void TimeStores(Result* result, const QString& path, const QString& without,
                QRandomGenerator* rng) {
    bench::UseDatabase(path);
    MsgParse parse;
    QObject::connect(&parse, &MsgParse::update_connect_list_ui,
                     [](ConnectListItemInfoPointers list) { qDeleteAll(list); });
    QObject::connect(&parse, &MsgParse::msgs_sys_has_receive,
                     [](MessageSysItemInfoPointers list) { qDeleteAll(list); });
    parse.OnStart();
    int message_id = result->size + 1;
    double ns[2] = {0, 0};
    QElapsedTimer timer;
    for (int turn = 0; turn < kTurns * 2; ++turn) {
        const bool with_index = turn % 2 == 1;
        bench::UseDatabase(with_index ? path : without);
        WalCheckpoint::DeferAutomatic();
        for (int r = 0; r < kRepliesPerTurn; ++r) {
            const QString text = ReplyText(rng, message_id);
            message_id += kPerReply;
            timer.start();
            parse.OnHeartBeatMsgToParse(text);
            ns[with_index] += timer.nsecsElapsed();
        }
    }
    const double messages = kTurns * kRepliesPerTurn * kPerReply;
    result->store_with_us = ns[1] / 1000.0 / messages;
    result->store_without_us = ns[0] / 1000.0 / messages;
    bench::UseDatabase(path);
    if (SearchIndex::Indexed().upto !=
        SqlExec::SelectInt(QStringLiteral("SELECT max(id) FROM message_all;")))
        std::fprintf(stderr, "the index did not take the stored replies\n");
}

double BestMs(const std::function<void()>& work, int repeats = kQueryRepeats) {
    double best = 0;
    QElapsedTimer timer;
    for (int i = 0; i < repeats; ++i) {
        timer.start();
        work();
        const double ms = timer.nsecsElapsed() / 1e6;
        best = i == 0 ? ms : std::min(best, ms);
    }
    return best;
}

void TimeQueries(Result* result) {
    for (const QString& query : kQueries + kShortQueries) {
        result->query_ms[query] =
            BestMs([&query] { qDeleteAll(MessageSearch::Find(query).items); });
    }
    SearchNames names;
    result->names_first_ms = BestMs([&names] { qDeleteAll(names.Find("王老")); }, 1);
    result->names_ms = BestMs([&names] { qDeleteAll(names.Find("李")); });
}

Result MeasureOnce(int size, quint32 seed) {
    Result result;
    result.size = size;
    QRandomGenerator rng(seed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("msg.db"));
    std::fprintf(stderr, "filling %d messages...\n", size);
    if (!Fill(path, size, &rng)) {
        std::fprintf(stderr, "could not fill %s\n", qPrintable(path));
        return result;
    }
    const QString without = path + QStringLiteral(".without");
    QFile::copy(path, without);
    bench::UseDatabase(path);
    WalCheckpoint::DeferAutomatic();
    SearchIndex::Install();
    result.before_mb = FileSize(path) / 1e6;
    std::fprintf(stderr, "building the index...\n");
    TimeBuild(&result);
    result.after_mb = FileSize(path) / 1e6;
    TimeQueries(&result);
    TimeStores(&result, path, without, &rng);
    std::fprintf(stderr, "  build %.1f us/msg, store %.1f us/msg with the index, %.1f without\n",
                 result.build_us, result.store_with_us, result.store_without_us);
    ConnectionPool::Instance()->CloseConnection();
    return result;
}

Result Measure(int size) {
    Result best = MeasureOnce(size, 17);
    for (int run = 1; run < kRuns; ++run) {
        const Result r = MeasureOnce(size, 17);
        auto keep = [](double* kept, double value) { *kept = std::min(*kept, value); };
        keep(&best.build_us, r.build_us);
        keep(&best.names_first_ms, r.names_first_ms);
        keep(&best.names_ms, r.names_ms);
        for (auto it = r.query_ms.cbegin(); it != r.query_ms.cend(); ++it)
            keep(&best.query_ms[it.key()], it.value());
        keep(&best.store_with_us, r.store_with_us);
        keep(&best.store_without_us, r.store_without_us);
    }
    return best;
}

void Check(const char* what, double value, double limit, const char* unit) {
    std::printf("%-58s %8.2f%s  (target <= %g%s)  %s\n", what, value, unit, limit, unit,
                value <= limit ? "ok" : "MISSED");
}

void Print(const QList<Result>& results) {
    std::printf("\n%10s %10s %10s %8s %12s %14s %14s %8s\n", "messages", "db MB", "+index MB",
                "x size", "build us/msg", "store us/msg", "no index", "x store");
    for (const Result& r : results) {
        std::printf("%10d %10.1f %10.1f %8.2f %12.1f %14.1f %14.1f %8.2f\n", r.size, r.before_mb,
                    r.after_mb, r.after_mb / r.before_mb, r.build_us, r.store_with_us,
                    r.store_without_us, r.store_with_us / r.store_without_us);
    }
    std::printf("\nfirst page of results (at most %d), ms:\n", MessageSearch::kPageSize);
    for (const Result& r : results)
        std::printf(" %12d", r.size);
    std::printf("   query\n");
    for (const QString& query : kQueries + kShortQueries + QStringList{"names", "names first"}) {
        for (const Result& r : results) {
            const double ms = query == "names"         ? r.names_ms
                              : query == "names first" ? r.names_first_ms
                                                       : r.query_ms.value(query);
            std::printf(" %12.3f", ms);
        }
        std::printf("   %s\n", qPrintable(query));
    }
    const Result& large = results.last();
    const Result& small = results.first();
    std::printf("\nat %d messages:\n", large.size);
    Check("index build per message vs poll reply store per message",
          large.build_us / large.store_with_us, 5, "x");
    Check("msg.db with the index vs without", large.after_mb / large.before_mb, 1.5, "x");
    Check("poll reply stored with the index vs without",
          large.store_with_us / large.store_without_us, 1.5, "x");
    double worst_ms = 0;
    double worst_ratio = 0;
    for (const QString& query : kQueries) {
        worst_ms = std::max(worst_ms, large.query_ms.value(query));
        worst_ratio =
            std::max(worst_ratio, large.query_ms.value(query) / small.query_ms.value(query));
    }
    Check("slowest first page of results (3+ characters)", worst_ms, 50, " ms");
    if (results.size() > 1)
        Check(qPrintable(QStringLiteral("largest ratio of a query's time to its time at %1")
                             .arg(small.size)),
              worst_ratio, 20, "x");
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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

    QList<int> sizes = {10000, 1000000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes.append(QByteArray(argv[i]).toInt());
    }
    QList<Result> results;
    for (int size : sizes)
        results.append(Measure(size));
    Print(results);
    return 0;
}
