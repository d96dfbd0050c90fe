#pragma once

#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "TreeNodeHandle.h"
#include "engine/ConnectListItemInfo.h"

class AvatarCache;
class ConnectGroupHelper;
class ConnectListRows;
class ConnectMsgListItem;
class QButtonGroup;
class QFrame;
class QHBoxLayout;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class SearchPanel;
class QStackedWidget;
class QThread;
class QTreeWidget;

// The left panel of the message page: the recent conversations ("消息") and the contacts
// ("群组": unit, public, personal and discussion groups, filled level by level from the
// directories that ConnectGroupHelper fetches on its own thread).
class ConnectWid : public QWidget {
    Q_OBJECT
public:
    explicit ConnectWid(QWidget* parent = nullptr);
    ~ConnectWid() override;

    // Builds the panel and starts the directory thread.
    void Init();
    void SetUserId(const QString& usr_id) { usr_id_ = usr_id; }
    // Shows the conversation list with `other_id` as the current row. Opens nothing: the caller
    // opens the conversation itself.
    void SelectConversation(int other_id);
    // The search of the message history above the conversation list.
    SearchPanel* Search() const { return search_; }
    // Ctrl+F: the conversation list's tab, the search box focused.
    void FocusSearch();
    // The widget showing the conversation list's row, or nullptr while the row is out of view.
    ConnectMsgListItem* RowWidget(int row) const;

    // The panel shows the conversation list on 0 and the contacts on 1.
    enum Page { kMessages = 0, kContacts = 1 };

signals:
    void updata_unit_group_item(QString id, QTreeWidgetItem* item);
    void updata_public_group_item(QString id, QTreeWidgetItem* item);
    void updata_user_group_item(QString id, QTreeWidgetItem* item);
    void updata_discuss_group_item(QString id, QTreeWidgetItem* item);
    void connect_item_changed(int other_id, QString other_name);
    void quit_group_helper_thread();
    void update_db_group_infos(QStringList infos);
    void req_avatar(QString other_id);
    void switch_item(QListWidgetItem* current, QListWidgetItem* previous);
    // A message found by the search was clicked: its conversation opens at row `id`.
    void message_result_chosen(int other_id, QString other_name, int id);

public slots:
    void LoadUnitGroupTree(QStringList infos, QTreeWidgetItem* item);
    void LoadPublicGroupTree(QStringList infos, QTreeWidgetItem* item);
    void LoadUserGroupTree(QStringList infos, QTreeWidgetItem* item);
    void LoadDiscussGroupTree(QStringList infos, QTreeWidgetItem* item);
    // Rebuilds the conversation list; the records are freed here.
    void UpdateConnectList(ConnectListItemInfoPointers connects);
    void OnAvatarReady(int id);
    void OnFixSysMsgCount(int count);

private:
    enum Tree { kUnitTree, kPublicTree, kUserTree, kDiscussTree };

    void SetupUI();
    QPushButton* TabButton(const char* name, const QString& text);
    QWidget* BuildMessagePage();
    // The search box into search_row_; returns the list with the results in its place.
    QWidget* BuildSearch(QWidget* page);
    void BuildTree();
    void ConnectWidgets();
    void CreateGroupHelper();
    void RequestRoots();
    void RequestChildren(Tree tree, const QString& id, QTreeWidgetItem* node);

    void FillNode(Tree tree, const QStringList& infos, QTreeWidgetItem* node);
    // Keeps the names of groups met in a tree and gives them to their conversation rows.
    void LearnGroupNames(const QStringList& group_infos);
    QString RowTitle(const ConnectListItemInfo& info) const;
    void AddLeaf(Tree tree, const QStringList& fields, QTreeWidgetItem* child);
    void OnTreeItemClicked(QTreeWidgetItem* item);
    void RequestLeafAvatars(QTreeWidgetItem* node);

    // Brings the selected row into view and its row widgets where its rows are.
    void ShowCurrentRow();
    // A row became current: the choice is taken by id now and acted on once queued.
    void OnRowSwitched(QListWidgetItem* current);
    void ChooseConversation(int other_id, const QString& name);

    QString usr_id_;
    AvatarCache* avatars_ = nullptr;

    QPushButton* msg_btn_ = nullptr;
    QPushButton* group_btn_ = nullptr;
    QButtonGroup* tab_group_ = nullptr;
    QFrame* under_line_ = nullptr;
    QStackedWidget* connect_stacked_wid_ = nullptr;
    // Above the list: room for a search box.
    QHBoxLayout* search_row_ = nullptr;
    QListWidget* list_ = nullptr;
    SearchPanel* search_ = nullptr;
    QStackedWidget* list_or_results_ = nullptr;
    ConnectListRows* rows_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* roots_[4] = {};

    bool has_selection_ = false;
    int selected_id_ = 0;

    // Every node this panel may be asked to fill; they live as long as the panel.
    QSet<QTreeWidgetItem*> nodes_;
    QMultiHash<int, ConnectMsgListItem*> leaves_;
    // Group conversation id (negative) -> the group's name, as the trees tell it.
    QHash<int, QString> group_names_;
    QSet<int> requested_avatars_;

    ConnectGroupHelper* group_helper_ = nullptr;
    QThread* group_thread_ = nullptr;
};
