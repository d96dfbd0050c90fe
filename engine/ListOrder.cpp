#include "ListOrder.h"

#include "base/SqlExec.h"

bool ListOrder::Load() {
    ids_.clear();
    orders_.clear();
    return SqlExec::Execute(QStringLiteral("SELECT id, message_order FROM message_list;"), {},
                            [this](QSqlQuery* query) {
                                while (query->next()) {
                                    ids_.append(query->value(0).toInt());
                                    orders_.append(query->value(1).toInt());
                                }
                                stored_ = orders_;
                                Reindex();
                            });
}

int ListOrder::OrderOf(int row_id) const {
    const int index = index_.value(row_id, -1);
    return index < 0 ? -1 : orders_.at(index);
}

void ListOrder::MoveRowsAbove(int order) {
    for (int& value : orders_) {
        if (value < order)
            ++value;
    }
}

void ListOrder::MoveAllRows() {
    for (int& value : orders_)
        ++value;
}

void ListOrder::WrittenOnTop(int row_id) {
    int index = index_.value(row_id, -1);
    if (index < 0) {
        index = ids_.size();
        ids_.append(row_id);
        orders_.append(0);
        stored_.append(0);
        index_.insert(row_id, index);
    }
    orders_[index] = 0;
    stored_[index] = 0;
}

bool ListOrder::Flush() {
    bool ok = true;
    for (int i = 0; i < ids_.size(); ++i) {
        if (orders_.at(i) == stored_.at(i))
            continue;
        if (SqlExec::Update(QStringLiteral("UPDATE message_list SET message_order = "
                                           ":message_order WHERE id = :id;"),
                            {{"message_order", orders_.at(i)}, {"id", ids_.at(i)}})) {
            stored_[i] = orders_.at(i);
        } else {
            ok = false;
        }
    }
    return ok;
}

void ListOrder::Restore(const Snapshot& snapshot) {
    const bool same_rows = snapshot.ids.size() == ids_.size();
    ids_ = snapshot.ids;
    orders_ = snapshot.orders;
    stored_ = snapshot.stored;
    if (!same_rows)
        Reindex();
}

void ListOrder::Reindex() {
    index_.clear();
    for (int i = 0; i < ids_.size(); ++i)
        index_.insert(ids_.at(i), i);
}
