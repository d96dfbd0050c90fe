// Times a conversation page with its bubble widgets: the newest page of a conversation of
// 10 000 messages, and older pages of 40 added to a page that already holds up to 10 000 rows,
// each as a ratio against the newest page of a conversation of 40 messages opened on an empty
// page. Every figure covers the loader's query, the bubbles, the list layout and one paint.
//
//   bench_chatpage [rows...]      rows held before the timed older page; default 2000
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; every figure is the
// best of five runs.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVector>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/Account.h"
#include "base/ConnectionPool.h"
#include "base/SqlExec.h"
#include "chat/ChatView.h"
#include "chat/MessagePage.h"
#include "chat/MessagePageMgr.h"
#include "engine/EngineMetaTypes.h"
#include "engine/MsgLoader.h"
#include "widgets/UiFont.h"

namespace {

constexpr int kUserId = 10001;
constexpr int kLong = 10002;
constexpr int kShort = 10003;
constexpr int kLongMessages = 10000;
constexpr int kShortMessages = 40;
constexpr int kRuns = 5;
const QSize kPageSize(603, 669);

const char* const kTexts[] = {
    "好的，收到[ok]",
    "明天上午第二节课调到下午，请各位老师相互转告。",
    "期中考试的监考表已经发您了，请过目[微笑]",
    "这周五下午三点在三楼会议室开教研会，\n请带上本学期的教学计划和听课记录。",
    "[鼓掌][鼓掌]",
    "收到",
    "运动会的项目报名表已经整理好了，一共有二十三个班级报名，参加人数比去年多了不少，"
    "具体的名单我稍后整理成表格发到群里，大家看看有没有遗漏的。",
};

bool SignIn(const QString& home) {
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    Account::SetupDataRoot();
    AccountMap& account = Account::GetAccountInfo(QStringLiteral("bench"));
    account = {
        {"usr_id", "bench"},  {"User_ID", QString::number(kUserId)},
        {"UserName", "张磊"}, {"Unit_ID", "1001"},
        {"SessionID", "s"},   {"cur_unit", "1001,鹿鸣实验小学,http://127.0.0.1:9/unit/1001/,"}};
    Account::SaveAccountInfo(QStringLiteral("bench"));
    Account::SetCurUserId(QStringLiteral("bench"));
    return Account::InitDB() && Account::InitMsgPath() && Account::InitAvatarPath();
}

bool Store(int other_id, int count, QDateTime date) {
    const QString sql = QStringLiteral(
        "INSERT INTO message_all (content, other_id, other_id2, other_name, client_message_id, "
        "send_or_receive, is_send, message_id, user_id, user_name, send_date, msg_type, url, "
        "is_read, is_del, client_code, unit_id) VALUES (:content, :other_id, 0, '王芳', 0, "
        ":sor, 1, :message_id, :user_id, '张磊', :send_date, 1, '', 2, 0, '', 1001)");
    static int message_id = 0;
    bool ok = SqlExec::Begin();
    for (int i = 0; i < count && ok; ++i) {
        date = date.addSecs(i % 7 == 0 ? 3 * 3600 : 95);
        const QString text = QString::fromUtf8(kTexts[i % (sizeof(kTexts) / sizeof(kTexts[0]))]);
        ok = SqlExec::Insert(sql, {{"content", text},
                                   {"other_id", other_id},
                                   {"sor", i % 3 == 0 ? 1 : 0},
                                   {"message_id", ++message_id},
                                   {"user_id", kUserId},
                                   {"send_date", date.toString(Qt::ISODate)}}) > 0;
    }
    return SqlExec::Commit() && ok;
}

// One load through the loader and into the page, laid out and painted.
class Harness {
public:
    Harness() {
        QObject::connect(&loader_, &MsgLoader::msg_load_ready, &mgr_,
                         &MessagePageMgr::OnMsgPageDataReady, Qt::DirectConnection);
        QObject::connect(&mgr_, &MessagePageMgr::update_msg_page, &loader_,
                         &MsgLoader::OnUpdateMsgPage, Qt::DirectConnection);
        mgr_.Frame()->resize(kPageSize);
        mgr_.Frame()->show();
    }

    MessagePage* Open(int other_id) {
        mgr_.OnConnectItemChanged(other_id, QStringLiteral("王芳"));
        Settle();
        return mgr_.Page(other_id);
    }
    void Older(MessagePage* page) {
        loader_.OnUpdateMsgPage(page->OtherId(), page->MinId(), page->MaxId());
        Settle();
    }
    void Settle() {
        QApplication::processEvents();
        mgr_.Frame()->grab();
    }

private:
    MsgLoader loader_;
    MessagePageMgr mgr_;
};

double Best(const std::function<double()>& run) {
    QVector<double> times;
    for (int i = 0; i < kRuns; ++i)
        times << run();
    return *std::min_element(times.begin(), times.end());
}

double OpenMs(int other_id) {
    return Best([other_id] {
        Harness harness;
        QElapsedTimer timer;
        timer.start();
        harness.Open(other_id);
        return timer.nsecsElapsed() / 1e6;
    });
}

// The older page added once the page holds `rows` bubbles and separators.
double OlderMs(int rows, int* held) {
    return Best([rows, held] {
        Harness harness;
        MessagePage* page = harness.Open(kLong);
        while (page->View()->count() < rows)
            harness.Older(page);
        *held = page->View()->count();
        QElapsedTimer timer;
        timer.start();
        harness.Older(page);
        return timer.nsecsElapsed() / 1e6;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes << 2000;
    // The page logs every bubble it makes; only the figures are wanted here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    EngineMetaTypes::Register();
    UiFont::Install();
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0));
    if (!home.isValid() || !SignIn(home.path()) || !Store(kLong, kLongMessages, start) ||
        !Store(kShort, kShortMessages, start)) {
        std::fprintf(stderr, "bench_chatpage: cannot build the message database\n");
        return 1;
    }

    const double base = OpenMs(kShort);
    const double newest = OpenMs(kLong);
    std::printf("%-44s %9s %9s\n", "", "ms", "x base");
    std::printf("%-44s %9.1f %9.2f\n", "newest 40 of a 40-message conversation", base, 1.0);
    std::printf("%-44s %9.1f %9.2f\n", "newest 40 of a 10000-message conversation", newest,
                newest / base);
    double worst = newest / base;
    for (int rows : sizes) {
        int held = 0;
        const double older = OlderMs(rows, &held);
        const QString label = QStringLiteral("older 40 onto a page of %1 rows").arg(held);
        std::printf("%-44s %9.1f %9.2f\n", label.toUtf8().constData(), older, older / base);
        worst = std::max(worst, older / base);
    }
    const bool met = worst <= 3.0;
    std::printf("\ntarget: every figure within 3x of the base: %s (worst %.2fx)\n",
                met ? "met" : "MISSED", worst);
    return met ? 0 : 2;
}
