#pragma once

#include <QMetaType>
#include <QTreeWidgetItem>

// Contact-tree nodes travel between the panel and the directory thread in queued signals.
Q_DECLARE_METATYPE(QTreeWidgetItem*)
