#include "MsgSearch.h"

#include <QDebug>
#include <QMetaObject>

#include "MessageSearch.h"
#include "SearchText.h"

MsgSearch::MsgSearch(QObject* parent) : QObject(parent) {}

MsgSearch::~MsgSearch() {
    qDebug() << "MsgSearch::~MsgSearch";
}

void MsgSearch::OnStart() {
    // Reading the contacts of a long history once now spares the first search.
    names_.Refresh();
}

void MsgSearch::OnSearch(int request_id, QString text) {
    Queue({request_id, SearchText::Query(text), 0, true, 0});
}

void MsgSearch::OnSearchMore(int request_id, QString text, int before_id) {
    Queue({request_id, SearchText::Query(text), before_id, false, 0});
}

void MsgSearch::Queue(Request request) {
    {
        QMutexLocker lock(&mutex_);
        request.serial = ++serial_;
        pending_ = request;
        has_pending_ = true;
    }
    QMetaObject::invokeMethod(this, "OnRunPending", Qt::QueuedConnection);
}

void MsgSearch::OnRunPending() {
    Request request;
    {
        QMutexLocker lock(&mutex_);
        if (!has_pending_)
            return;
        request = pending_;
        has_pending_ = false;
    }
    Run(request);
}

void MsgSearch::Run(const Request& request) {
    if (request.query.isEmpty()) {
        emit msg_search_ready(request.id, MsgSearchItemInfoPointers(), false, 0);
        return;
    }
    const quint64 serial = request.serial;
    const auto overtaken = [this, serial] { return serial_.load() != serial; };
    MsgSearchItemInfoPointers items;
    if (request.with_names)
        items = names_.Find(request.query);
    const MessageSearch::Page page =
        MessageSearch::Find(request.query, request.before_id, overtaken);
    if (page.cancelled || overtaken()) {
        qDeleteAll(items);
        qDeleteAll(page.items);
        return;
    }
    items.append(page.items);
    emit msg_search_ready(request.id, items, page.more, page.next_before_id);
}
