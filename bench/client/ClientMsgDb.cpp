#include "ClientMsgDb.h"

#include <QRandomGenerator>

#include "bench/BenchMsgDb.h"

namespace {
constexpr int kConversations = 1000;
constexpr int kLargestShare = 10;
// Conversations besides the largest take ids above every demo user's.
constexpr int kFirstOther = 50001;
const QDateTime kStart(QDate(2020, 9, 1), QTime(8, 0), Qt::UTC);
}  // namespace

bool WriteClientMsgDb(const std::string& path, long long messages, int user_id, int largest_other) {
    const auto make_row = [messages, largest_other](qint64 i) {
        const bool largest = i % kLargestShare == 0 || i == messages - 1;
        const int other =
            largest ? largest_other
                    : kFirstOther +
                          static_cast<int>(QRandomGenerator::global()->bounded(kConversations - 1));
        return bench::MakeTextRow(kStart, other, static_cast<int>(i + 1), i % 5 == 0 ? 1 : 0);
    };
    const auto bind_row = [user_id](sqlite3_stmt* stmt, const bench::TextRow& row) {
        bench::BindTextRow(stmt, row, user_id);
    };
    return bench::Fill(QString::fromStdString(path), messages, make_row, bind_row);
}
