// Times the conversation list's rebuild, which runs on every poll reply, for lists of growing
// size where every conversation has an avatar file: the first build (rows made); a rebuild after
// a message to one of the five most recent conversations (the usual poll: a few rows change);
// a rebuild after a message brought up a conversation from anywhere in the list (every row
// above it changes); and, for comparison, reading and rounding every avatar file once, which a
// rebuild without the pixmap cache would pay each time.
//
//   bench_connectlist [sizes...]      default: 100 1000 5000
//
// Every figure is the median of its runs.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QVector>
#include <algorithm>
#include <cstdio>

#include "base/Account.h"
#include "login/ConnectWid.h"
#include "widgets/RoundAvatar.h"

namespace {

constexpr int kRebuilds = 21;
constexpr int kFirstId = 10001;

struct Result {
    int size = 0;
    double first_ms = 0;
    double recent_ms = 0;
    double anywhere_ms = 0;
    double files_ms = 0;
};

double Median(QVector<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The conversation list kept like message_list: indexes of conversations, most recent first.
class Conversations {
public:
    explicit Conversations(int size) {
        for (int i = 0; i < size; ++i)
            order_ << i;
    }
    // A message arrives for the conversation at `position`: it moves to the top.
    void Receive(int position) {
        order_.prepend(order_.takeAt(position));
        ++messages_;
    }
    // The list as the engine sends it.
    ConnectListItemInfoPointers Records() const {
        ConnectListItemInfoPointers list;
        for (int i = 0; i < order_.size(); ++i) {
            const int index = order_.at(i);
            auto* info = new ConnectListItemInfo;
            info->other_id = index % 10 == 9 ? -(kFirstId + index) : kFirstId + index;
            info->other_name = QStringLiteral("第%1位老师").arg(index);
            info->content = i == 0 ? QStringLiteral("收到，第%1条").arg(messages_)
                                   : QStringLiteral("明天上午第二节课调到下午，第%1条").arg(index);
            info->msg_type = 1;
            info->number = i == 0 ? messages_ % 5 + 1 : 0;
            info->message_order = i;
            list << info;
        }
        return list;
    }

private:
    QVector<int> order_;
    int messages_ = 0;
};

void WriteAvatars(int size) {
    QImage image(96, 96, QImage::Format_ARGB32);
    for (int i = 0; i < size; ++i) {
        image.fill(QColor::fromHsv(i * 37 % 360, 160, 200));
        image.save(QStringLiteral("%1/%2.png").arg(Account::AvatarPath()).arg(kFirstId + i));
    }
}

Result Measure(int size) {
    Result result;
    result.size = size;
    WriteAvatars(size);
    ConnectWid panel;
    panel.Init();
    panel.resize(203, 700);
    panel.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    Conversations conversations(size);
    timer.start();
    panel.UpdateConnectList(conversations.Records());
    // What the rebuild leaves to the event loop (layouts, painting) is part of its cost.
    QApplication::processEvents();
    result.first_ms = timer.nsecsElapsed() / 1e6;

    const auto rebuild = [&](int position) {
        conversations.Receive(position);
        ConnectListItemInfoPointers list = conversations.Records();
        timer.restart();
        panel.UpdateConnectList(list);
        QApplication::processEvents();
        return timer.nsecsElapsed() / 1e6;
    };
    QVector<double> recent, anywhere;
    for (int run = 1; run <= kRebuilds; ++run) {
        recent << rebuild(run % 5);
        anywhere << rebuild(run * 7919 % size);
    }
    result.recent_ms = Median(recent);
    result.anywhere_ms = Median(anywhere);

    timer.restart();
    for (int i = 0; i < size; ++i)
        RoundAvatar::FromFolder(Account::AvatarPath(), QString::number(kFirstId + i), {46, 46});
    result.files_ms = timer.nsecsElapsed() / 1e6;
    return result;
}

bool SignIn(const QString& root) {
    qputenv("XDG_CONFIG_HOME", root.toUtf8());
    Account::SetupDataRoot();
    AccountMap& account = Account::GetAccountInfo(QStringLiteral("bench"));
    account = {{"usr_id", "bench"}, {"User_ID", "1"}, {"Unit_ID", "1"}};
    Account::SaveAccountInfo(QStringLiteral("bench"));
    Account::SetCurUserId(QStringLiteral("bench"));
    return Account::InitAvatarPath();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (!home.isValid() || !SignIn(home.path()))
        return 1;
    QVector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {100, 1000, 5000};

    QVector<Result> results;
    std::printf("%7s %10s %10s %12s %12s %12s %10s\n", "rows", "first ms", "recent ms",
                "recent us/row", "anywhere ms", "avatar files ms", "x recent");
    for (int size : sizes) {
        const Result r = Measure(size);
        results << r;
        std::printf("%7d %10.1f %10.2f %12.2f %12.2f %15.1f %10.1f\n", r.size, r.first_ms,
                    r.recent_ms, r.recent_ms * 1000 / r.size, r.anywhere_ms, r.files_ms,
                    r.files_ms / r.recent_ms);
        std::fflush(stdout);
    }
    const Result& small = results.first();
    const Result& large = results.last();
    const double growth = (large.recent_ms / large.size) / (small.recent_ms / small.size);
    std::printf(
        "\nusual rebuild per row at %d rows / at %d rows: %.2fx (target: within 2x, the "
        "rebuild grows with the list and no faster)\n",
        large.size, small.size, growth);
    return growth <= 2.0 ? 0 : 2;
}
