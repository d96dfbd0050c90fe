#include "SearchPanel.h"

#include <QLineEdit>
#include <QMetaObject>

#include "SearchBox.h"
#include "SearchResults.h"

SearchPanel::SearchPanel(AvatarCache* avatars, QWidget* parent) : QObject(parent) {
    box_ = new SearchBox(parent);
    results_ = new SearchResults(avatars, parent);
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &SearchPanel::SendSearch);
    connect(box_, &SearchBox::text_changed, this, &SearchPanel::OnTextChanged);
    connect(box_, &SearchBox::escape_pressed, this, &SearchPanel::OnEscape);
    connect(box_, &SearchBox::step, results_, &SearchResults::Step);
    connect(box_, &SearchBox::enter_pressed, results_, &SearchResults::ChooseCurrent);
    connect(results_, &SearchResults::more_wanted, this, &SearchPanel::OnMoreWanted);
    connect(results_, &SearchResults::message_chosen, this, &SearchPanel::message_chosen);
    connect(results_, &SearchResults::conversation_chosen, this,
            [this](int other_id, const QString& name, bool leave) {
                emit conversation_chosen(other_id, name, leave);
                // Not from inside the click: emptying the box frees the clicked row.
                if (leave)
                    QMetaObject::invokeMethod(this, &SearchPanel::Clear, Qt::QueuedConnection);
            });
}

void SearchPanel::Focus() {
    box_->FocusAndSelect();
}

void SearchPanel::Clear() {
    box_->Clear();
}

void SearchPanel::OnEscape() {
    Clear();
    box_->Edit()->clearFocus();
}

void SearchPanel::OnTextChanged(const QString& text) {
    // Replies still on their way answer a text that is no longer there.
    ++request_id_;
    waiting_ = false;
    const bool active = !text.trimmed().isEmpty();
    if (!active) {
        debounce_.stop();
        results_->Clear();
    } else {
        debounce_.start();
    }
    if (active != active_) {
        active_ = active;
        emit active_changed(active);
    }
}

void SearchPanel::SendSearch() {
    query_ = box_->Text();
    first_page_ = true;
    waiting_ = true;
    emit search(++request_id_, query_);
}

void SearchPanel::OnMoreWanted() {
    if (waiting_ || !results_->HasMore())
        return;
    first_page_ = false;
    waiting_ = true;
    emit search_more(++request_id_, query_, next_before_id_);
}

void SearchPanel::OnSearchReady(int request_id, MsgSearchItemInfoPointers items, bool more,
                                int next_before_id) {
    if (request_id != request_id_ || !active_) {
        qDeleteAll(items);
        return;
    }
    waiting_ = false;
    next_before_id_ = next_before_id;
    if (first_page_)
        results_->Show(query_.trimmed(), items, more);
    else
        results_->AddMore(items, more);
}
