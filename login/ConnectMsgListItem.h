#pragma once

#include <QString>
#include <QWidget>

#include "engine/ConnectListItemInfo.h"

class AvatarCache;
class QLabel;

// One row of the conversation list (avatar, name, preview, unread count) or one contact leaf
// of the contacts tree (avatar, name). The property "other_id" holds the conversation id.
class ConnectMsgListItem : public QWidget {
    Q_OBJECT
public:
    enum Mode { kConversation, kTreeLeaf };
    static constexpr int kRowHeight = 63;
    static constexpr int kLeafHeight = 53;

    // `avatars` outlives the item.
    ConnectMsgListItem(Mode mode, AvatarCache* avatars, QWidget* parent = nullptr);

    // A new id forgets the avatar shown for the old one.
    void SetOtherId(int other_id);
    int OtherId() const { return other_id_; }
    void SetName(const QString& name);
    QString Name() const { return name_; }
    void SetPreview(const QString& preview);
    // The unread count; hidden at 0.
    void SetCount(int number);
    // Shows the avatar of `id` when this item is for `id`: the system and group pictures, or
    // the user's round picture once one is in the avatar folder. A picture shown stays.
    void SetAvatar(int id);
    bool AvatarLoaded() const { return avatar_loaded_; }

    // Fills a conversation row from its record; `title`, when given, names it instead.
    void Fill(const ConnectListItemInfo& info, const QString& title = QString());
    // The preview of a conversation's last message.
    static QString Preview(const ConnectListItemInfo& info);

private:
    // The last message by its type.
    static QString MessagePreview(const ConnectListItemInfo& info);
    void SetupConversation();
    void SetupTreeLeaf();
    QLabel* ElidedLabel(const char* name, int elide_width, int pixel_size);
    // Elides `text` into `label` unless `shown` holds it already (rows are refilled on every
    // rebuild, mostly with the same texts).
    static void SetElided(QLabel* label, QString* shown, const QString& text);
    // Sets the id; true when it changed, which forgets the picture shown.
    bool AssignId(int other_id);
    // The picture of `id`: system, group, the user's own or the default one.
    void ShowAvatar(int id);

    AvatarCache* avatars_;
    // Mirrors the property, read on every rebuild.
    int other_id_ = 0;
    bool has_id_ = false;
    QString name_;
    QString preview_;
    int count_ = -1;
    bool avatar_loaded_ = false;
    QLabel* avatar_lab_ = nullptr;
    QLabel* name_lab_ = nullptr;
    QLabel* short_msg_lab_ = nullptr;
    QLabel* count_lab_ = nullptr;
};
