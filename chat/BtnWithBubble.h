#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// A page button of the main window's header: icon, caption, unread bubble and the pointer
// under the checked page.
class BtnWithBubble : public QWidget {
    Q_OBJECT
public:
    // 0 messages, 1 schedule, 2 notices, 3 e-letters, 4 more applications.
    explicit BtnWithBubble(int kind, QWidget* parent = nullptr);

    QPushButton* Button() const { return btn_; }
    // 0 hides the bubble; there is no upper cap on the number shown.
    void SetCount(int count);

private:
    void OnToggled(bool checked);

    QPushButton* btn_ = nullptr;
    QLabel* txt_lab_ = nullptr;
    QLabel* count_lab_ = nullptr;
    QLabel* triangle_lab_ = nullptr;
};
