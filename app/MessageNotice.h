#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <memory>

class DesktopNotifier;
class QWidget;

// A desktop notice for new messages that arrive while the main window is not the active window:
// who wrote and the start of the text; a click opens that conversation. The tray's flashing and
// popup go on as before; without a notification service this adds nothing.
class MessageNotice : public QObject {
    Q_OBJECT
public:
    // Messages stored before this moment are never announced.
    MessageNotice(QWidget* window, std::unique_ptr<DesktopNotifier> notifier);
    ~MessageNotice() override;

    // The engine stored new messages (its tray notice): announces the newest received one.
    void OnNewMessages();

    struct Text {
        QString title;
        QString body;
    };
    // The notice for a message_all row, `count` new messages in all. `group_name` names the
    // conversation of a group message.
    static Text Compose(const QVariantMap& row, int count, const QString& group_name);
    // `line` cut to at most `limit` characters, an ellipsis marking the cut.
    static QString Shorten(const QString& line, int limit = 60);

signals:
    void open_chat_view(int other_id);

private:
    QPointer<QWidget> window_;
    std::unique_ptr<DesktopNotifier> notifier_;
    // The newest row of message_all already seen here.
    int seen_id_ = 0;
};
