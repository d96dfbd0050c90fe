#pragma once

#include <QLineEdit>
#include <QString>

// An input row of the login window: reports focus changes so the row can light up, and carries
// the unit record behind the shown unit name.
class LineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LineEdit(QWidget* parent = nullptr);

    QString UnitRecord() const { return unit_record_; }
    void SetUnitRecord(const QString& record) { unit_record_ = record; }

signals:
    void focused(bool has_focus);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString unit_record_;
};
