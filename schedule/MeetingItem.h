#pragma once

#include <QDateTime>
#include <QFrame>
#include <QJsonObject>

// One row of the meeting list: subject with its state, time, place and who attends.
class MeetingItem : public QFrame {
    Q_OBJECT
public:
    enum State { kNotStarted, kInProgress, kEnded, kUnknown };
    static const int kWidth = 260;
    static const int kHeight = 104;

    MeetingItem(const QJsonObject& meeting, State state, QWidget* parent = nullptr);

    // A meeting's state at `now`; kUnknown when its times do not read.
    static State StateAt(const QJsonObject& meeting, const QDateTime& now);
    // "未开始", "进行中"; empty for the other states.
    static QString StateText(State state);
};
