#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QPair>

class ScheduleRequester;

// Fetches the to-do items and the meetings page by page (100 a page). The pages are collected
// apart and published when the last one is in, so the lists below always hold one complete
// answer and a refresh that fails keeps the previous one. Runs on the GUI thread; owned by the
// to-do and meeting panel, which builds its rows from the published lists.
class ScheduleSideHelper : public QObject {
    Q_OBJECT
public:
    static const int kPageSize = 100;

    explicit ScheduleSideHelper(QObject* parent = nullptr);
    ~ScheduleSideHelper() override;

    // Starts collecting the list anew from page 0.
    void RefreshTodos();
    void RefreshMeetings();

    // Plans to handle ("R"), to audit ("Audit") and being collected ("Applying").
    const QJsonArray& Handle() const { return todos_.handle; }
    const QJsonArray& Audit() const { return todos_.audit; }
    const QJsonArray& Applying() const { return todos_.applying; }
    const QJsonArray& Meetings() const { return meetings_; }

    // Whether page `page_index` of a list of `total_count` items is not its last.
    static bool HasNextPage(int page_index, int total_count);

signals:
    void todo_infos_ready(QByteArray data, int page_index);
    void meeting_infos_ready(QByteArray data, int page_index);
    // Every page of the list is in.
    void todo_list_ready();
    void meeting_list_ready();

private slots:
    void OnTodoInfos(QByteArray data, int page_index);
    void OnMeetingInfos(QByteArray data, int page_index);

private:
    enum Channel { kTodoChannel, kMeetingChannel };

    void RequestPage(Channel channel, int page_index);
    void OnReply(int kind, const QByteArray& data);
    // Appends the page; false when it failed. `brought` counts its items.
    static bool Collect(const QByteArray& data, const QList<QPair<const char*, QJsonArray*>>& lists,
                        int* total_count, int* brought);

    ScheduleRequester* requester_;
    struct Todos {
        QJsonArray handle, audit, applying;
    };
    Todos todos_, todos_collecting_;
    QJsonArray meetings_, meetings_collecting_;
    // The page in flight of each list; its kind tags the reply.
    int todo_page_ = 0;
    int meeting_page_ = 0;
};
