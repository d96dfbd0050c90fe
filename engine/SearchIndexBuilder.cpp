#include "SearchIndexBuilder.h"

#include <QDebug>
#include <QElapsedTimer>
#include <algorithm>

#include "SearchIndex.h"
#include "WalCheckpoint.h"

namespace {

constexpr int kMinRows = 100;
// FTS5 keeps the hash table of its pending rows at the largest size a transaction needed, and
// every later commit on the connection (each poll reply) walks all of it.
constexpr int kMaxRows = 2000;
// Pages of the index rewritten by one merge step: about 15 ms.
constexpr int kMergePages = 100;
// The log the steps write is copied back now and then, not in one long commit at the end.
constexpr int kStepsPerCheckpoint = 20;

}  // namespace

SearchIndexBuilder::SearchIndexBuilder(QObject* parent) : QObject(parent), timer_(this) {
    timer_.setSingleShot(true);
    timer_.setInterval(kPauseMs);
    connect(&timer_, &QTimer::timeout, this, &SearchIndexBuilder::OnStep);
}

void SearchIndexBuilder::Start() {
    const int mark = SearchIndex::IndexedAbove();
    if (mark < 0 || (mark == 0 && SearchIndex::IsMerged()))
        return;
    if (mark > 0)
        qDebug().noquote() << "SearchIndexBuilder: indexing the messages up to id" << mark;
    timer_.start(kPauseMs);
}

void SearchIndexBuilder::MakeWay() {
    if (timer_.isActive())
        timer_.start(kBusyPauseMs);
}

void SearchIndexBuilder::OnStep() {
    QElapsedTimer elapsed;
    elapsed.start();
    const bool building = SearchIndex::IndexedAbove() > 0;
    // After the last rows, merging comes next.
    const int more = building ? (SearchIndex::BuildStep(rows_per_step_) < 0 ? -1 : 1)
                              : SearchIndex::MergeStep(kMergePages);
    const qint64 step_ms = elapsed.elapsed();
    if (more < 0) {
        qDebug().noquote() << "!!! SearchIndexBuilder: step failed; trying again at the next start";
        return;
    }
    if (++steps_ % kStepsPerCheckpoint == 0 || more == 0)
        WalCheckpoint::RunPassive();
    if (more == 0) {
        qDebug().noquote() << "SearchIndexBuilder: index complete";
        emit index_complete();
        return;
    }
    if (building)
        Fit(step_ms);
    timer_.start(kPauseMs);
}

void SearchIndexBuilder::Fit(qint64 elapsed_ms) {
    const qint64 rows = rows_per_step_ * kStepMs / std::max<qint64>(elapsed_ms, 1);
    // Halve or double at most, against one slow step on a busy machine.
    rows_per_step_ = static_cast<int>(std::clamp<qint64>(
        rows, std::max(kMinRows, rows_per_step_ / 2), std::min(kMaxRows, rows_per_step_ * 2)));
}
