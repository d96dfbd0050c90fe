#pragma once

#include <QString>

class QWidget;

// What every frameless window of the program does to look the same.
class WindowStyle {
public:
    // Names the widget and applies the style sheet at `qss_path`; an unreadable sheet logs
    // `failure_log` and leaves the widget unstyled.
    static void Apply(QWidget* widget, const QString& object_name, const QString& qss_path,
                      const char* failure_log);
    // The soft grey shadow around a window's background frame, whose corners are rounded by
    // `corner_radius` (as its style sheet rounds them).
    static void AddShadow(QWidget* frame, int blur_radius, int corner_radius = 6);
};
