#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "engine/MsgSearchItemInfo.h"

class AvatarCache;
class QWidget;
class SearchBox;
class SearchResults;

// Searching the message history from the left panel: the box, the results, and the requests
// to the search worker. Typing asks for the first page once the text has rested kDebounceMs;
// scrolling to the end of the results asks for the next page. Every request has a new id and
// only the reply to the latest one is shown: others are freed unread.
class SearchPanel : public QObject {
    Q_OBJECT
public:
    static constexpr int kDebounceMs = 150;

    // The box and the results are made as children of `parent`, to be placed by it.
    SearchPanel(AvatarCache* avatars, QWidget* parent);

    SearchBox* Box() const { return box_; }
    SearchResults* Results() const { return results_; }
    // The box holds something to search for: the results stand in for the list.
    bool Active() const { return active_; }
    // Ctrl+F: the box gets the focus, its text selected.
    void Focus();
    // Empties the box; the list comes back.
    void Clear();

signals:
    void search(int request_id, QString text);
    void search_more(int request_id, QString text, int before_id);
    void active_changed(bool active);
    void message_chosen(int other_id, QString other_name, int id);
    // `leave`: the search is over (a name was chosen), the box is emptied.
    void conversation_chosen(int other_id, QString other_name, bool leave);

public slots:
    void OnSearchReady(int request_id, MsgSearchItemInfoPointers items, bool more,
                       int next_before_id);

private:
    void OnTextChanged(const QString& text);
    void SendSearch();
    void OnMoreWanted();
    void OnEscape();

    SearchBox* box_ = nullptr;
    SearchResults* results_ = nullptr;
    QTimer debounce_;
    bool active_ = false;
    // The text of the latest request and its id; replies to other ids are stale.
    QString query_;
    int request_id_ = 0;
    // The latest request asks for the first page (not for more).
    bool first_page_ = false;
    bool waiting_ = false;
    int next_before_id_ = 0;
};
