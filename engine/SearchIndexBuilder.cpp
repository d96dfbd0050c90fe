#include "SearchIndexBuilder.h"

#include <QDebug>
#include <QElapsedTimer>
#include <algorithm>

#include "SearchIndex.h"
#include "WalCheckpoint.h"

namespace {

constexpr int kMinRows = 100;
constexpr int kMaxRows = 20000;
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
    if (mark <= 0)
        return;
    qDebug().noquote() << "SearchIndexBuilder: indexing the messages up to id" << mark;
    timer_.start();
}

void SearchIndexBuilder::OnStep() {
    QElapsedTimer elapsed;
    elapsed.start();
    const int mark = SearchIndex::BuildStep(rows_per_step_);
    const qint64 step_ms = elapsed.elapsed();
    if (mark < 0) {
        qDebug().noquote() << "!!! SearchIndexBuilder: step failed; trying again at the next start";
        return;
    }
    if (++steps_ % kStepsPerCheckpoint == 0 || mark == 0)
        WalCheckpoint::RunPassive();
    if (mark == 0) {
        qDebug().noquote() << "SearchIndexBuilder: index complete";
        emit index_complete();
        return;
    }
    Fit(step_ms);
    timer_.start();
}

void SearchIndexBuilder::Fit(qint64 elapsed_ms) {
    const qint64 rows = rows_per_step_ * kStepMs / std::max<qint64>(elapsed_ms, 1);
    // Halve or double at most, against one slow step on a busy machine.
    rows_per_step_ = static_cast<int>(std::clamp<qint64>(
        rows, std::max(kMinRows, rows_per_step_ / 2), std::min(kMaxRows, rows_per_step_ * 2)));
}
