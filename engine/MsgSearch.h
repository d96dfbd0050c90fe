#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>

#include "MsgSearchItemInfo.h"
#include "SearchNames.h"

// The search worker, on a thread of its own: answers a query with the conversations and
// contacts whose name contains it and the newest messages containing it (see MessageSearch).
//
// Only the newest request counts: OnSearch and OnSearchMore may be called from any thread (they
// only note the request and queue the work), a request that a newer one overtook before it
// ran is dropped, and one that is overtaken while it reads is abandoned. Every request thus gets
// msg_search_ready unless a newer one came after it.
class MsgSearch : public QObject {
    Q_OBJECT
public:
    explicit MsgSearch(QObject* parent = nullptr);
    ~MsgSearch() override;

signals:
    // `items`: names first (conversations, then contacts), then the messages grouped by
    // conversation; empty for an empty query. `more`: older messages may follow, ask for them
    // with OnSearchMore(…, next_before_id). The receiver owns the records.
    void msg_search_ready(int request_id, MsgSearchItemInfoPointers items, bool more,
                          int next_before_id);

public slots:
    void OnStart();
    void OnSearch(int request_id, QString text);
    // The next page of messages older than before_id; no names.
    void OnSearchMore(int request_id, QString text, int before_id);

private slots:
    void OnRunPending();

private:
    struct Request {
        int id = 0;
        QString query;
        int before_id = 0;
        bool with_names = false;
        quint64 serial = 0;
    };

    void Queue(Request request);
    void Run(const Request& request);

    QMutex mutex_;
    Request pending_;
    bool has_pending_ = false;
    std::atomic<quint64> serial_{0};
    SearchNames names_;
};
