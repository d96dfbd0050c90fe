#pragma once

#include <QObject>
#include <QTimer>

// Indexes the messages stored before the search index existed, newest first, and then merges
// the index, one short step at a time on the thread it lives on: the parser's, between poll
// replies, so the build never races the parser's writes and a reply waits at most one step.
// Each step is one transaction together with the progress in msg.db, so a build cut off by a
// crash or a kill goes on where it stopped at the next start.
class SearchIndexBuilder : public QObject {
    Q_OBJECT
public:
    // Aimed duration of one step, and the pause the thread gets between steps.
    static constexpr int kStepMs = 25;
    static constexpr int kPauseMs = 10;
    // The pause after MakeWay.
    static constexpr int kBusyPauseMs = 500;

    explicit SearchIndexBuilder(QObject* parent = nullptr);

    // Steps until every row is indexed and the index merged; nothing when it already is.
    void Start();
    bool IsRunning() const { return timer_.isActive(); }
    // Poll replies are coming in, one after the other while catching up: they go first, and
    // the next step waits until they have stopped for a while.
    void MakeWay();

signals:
    void index_complete();

private slots:
    void OnStep();

private:
    // Rows per step, fitted to kStepMs as the steps go.
    void Fit(qint64 elapsed_ms);

    QTimer timer_;
    int rows_per_step_ = 500;
    int steps_ = 0;
};
