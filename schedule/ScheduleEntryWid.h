#pragma once

#include <QFrame>

#include "ScheduleRecords.h"

// One entry of the week table: time, title and address on the colours of its type, with a
// marker when the entry concerns the user.
class ScheduleEntryWid : public QFrame {
    Q_OBJECT
public:
    explicit ScheduleEntryWid(const ScheduleEntry& entry, QWidget* parent = nullptr);

    const ScheduleEntry& Entry() const { return entry_; }

private:
    ScheduleEntry entry_;
};
