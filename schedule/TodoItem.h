#pragma once

#include <QFrame>
#include <QJsonObject>

// One row of the to-do list (260 x 60): a plan to handle, a plan to audit or a plan being
// collected.
class TodoItem : public QFrame {
    Q_OBJECT
public:
    enum Kind { kHandle, kAudit, kApplying };
    static const int kWidth = 260;
    static const int kHeight = 60;

    TodoItem(Kind kind, const QJsonObject& plan, QWidget* parent = nullptr);

    Kind ItemKind() const { return kind_; }

private:
    void BuildPlan(const QJsonObject& plan);
    void BuildApplying(const QJsonObject& plan);

    Kind kind_;
};
