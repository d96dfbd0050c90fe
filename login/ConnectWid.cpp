#include "ConnectWid.h"

#include <QButtonGroup>
#include <QDebug>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ConnectGroupHelper.h"
#include "ConnectListRows.h"
#include "ConnectMsgListItem.h"
#include "SearchBox.h"
#include "SearchPanel.h"
#include "SearchResults.h"
#include "base/Account.h"
#include "base/WorkerThread.h"
#include "engine/EngineMetaTypes.h"
#include "widgets/AvatarCache.h"
#include "widgets/UiFont.h"
#include "widgets/WindowStyle.h"

namespace {

const int kWidth = 203;
const int kMinHeight = 500;
const int kRowHeight = ConnectMsgListItem::kRowHeight;
const int kLeafHeight = ConnectMsgListItem::kLeafHeight;
const int kNodeHeight = 40;

const char* const kTreeErrors[] = {
    "!!! ConnectWid::LoadUnitGroupTree: error", "!!! ConnectWid::LoadPublicGroupTree: error",
    "!!! ConnectWid::LoadUserGroupTree: error", "!!! ConnectWid::LoadDiscussGroupTree: error"};

QString PositiveId(const QString& id) {
    return id.startsWith(QLatin1Char('-')) ? id.mid(1) : id;
}

}  // namespace

ConnectWid::ConnectWid(QWidget* parent)
    : QWidget(parent), avatars_(new AvatarCache(Account::AvatarPath())) {
    qRegisterMetaType<QTreeWidgetItem*>("QTreeWidgetItem*");
    EngineMetaTypes::Register();
}

ConnectWid::~ConnectWid() {
    worker_thread::Stop(this, &ConnectWid::quit_group_helper_thread, group_thread_, group_helper_);
    delete avatars_;
    qDebug() << "ConnectWid::~ConnectWid";
}

void ConnectWid::Init() {
    SetupUI();
    ConnectWidgets();
    msg_btn_->animateClick(100);
    CreateGroupHelper();
    roots_[kUnitTree]->setExpanded(true);
}

void ConnectWid::SetupUI() {
    WindowStyle::Apply(this, QStringLiteral("connect_wid"), QStringLiteral(":/ui/connect_wid.qss"),
                       "ConnectWid::SetupUI : load qss failed");
    setAttribute(Qt::WA_StyledBackground);
    setMaximumWidth(kWidth);
    // Beside the stretching conversation page the panel would shrink to its hint.
    setMinimumWidth(kWidth);
    setMinimumHeight(kMinHeight);

    msg_btn_ = TabButton("msg_btn", QStringLiteral("消息"));
    group_btn_ = TabButton("group_btn", QStringLiteral("群组"));
    tab_group_ = new QButtonGroup(this);
    tab_group_->setExclusive(true);
    tab_group_->addButton(msg_btn_, kMessages);
    tab_group_->addButton(group_btn_, kContacts);
    under_line_ = new QFrame(this);
    under_line_->setObjectName(QStringLiteral("under_line"));
    under_line_->setFrameShape(QFrame::HLine);
    under_line_->setFixedHeight(1);

    connect_stacked_wid_ = new QStackedWidget(this);
    connect_stacked_wid_->setObjectName(QStringLiteral("connect_stacked_wid"));
    connect_stacked_wid_->addWidget(BuildMessagePage());
    BuildTree();
    connect_stacked_wid_->addWidget(tree_);

    auto* tabs = new QHBoxLayout;
    tabs->setContentsMargins(0, 0, 0, 0);
    tabs->setSpacing(0);
    tabs->addWidget(msg_btn_);
    tabs->addWidget(group_btn_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(tabs);
    column->addWidget(under_line_);
    column->addWidget(connect_stacked_wid_, 1);
}

QPushButton* ConnectWid::TabButton(const char* name, const QString& text) {
    auto* btn = new QPushButton(text, this);
    btn->setObjectName(QLatin1String(name));
    btn->setCheckable(true);
    btn->setCursor(Qt::PointingHandCursor);
    btn->setFocusPolicy(Qt::NoFocus);
    btn->setFixedHeight(40);
    btn->setFont(UiFont::Font(14));
    return btn;
}

QWidget* ConnectWid::BuildMessagePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("msg_list_page"));
    list_ = new QListWidget(page);
    list_->setObjectName(QStringLiteral("connect_list"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setUniformItemSizes(true);
    // A rebuild restores the current row; the view must not jump to it each time.
    list_->setAutoScroll(false);
    rows_ = new ConnectListRows(list_, avatars_,
                                [this](const ConnectListItemInfo& info) { return RowTitle(info); });

    search_row_ = new QHBoxLayout;
    search_row_->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(search_row_);
    column->addWidget(BuildSearch(page), 1);
    return page;
}

QWidget* ConnectWid::BuildSearch(QWidget* page) {
    search_ = new SearchPanel(avatars_, page);
    search_row_->setContentsMargins(10, 10, 10, 8);
    search_row_->addWidget(search_->Box());
    // The results stand in for the list while the box holds a search.
    list_or_results_ = new QStackedWidget(page);
    list_or_results_->setObjectName(QStringLiteral("list_or_results"));
    list_or_results_->addWidget(list_);
    list_or_results_->addWidget(search_->Results());
    connect(search_, &SearchPanel::active_changed, this, [this](bool active) {
        list_or_results_->setCurrentWidget(active ? static_cast<QWidget*>(search_->Results())
                                                  : list_);
        if (!active)
            ShowCurrentRow();
    });
    connect(search_, &SearchPanel::conversation_chosen, this,
            [this](int other_id, const QString& name, bool) {
                SelectConversation(other_id);
                ChooseConversation(other_id, name);
            });
    connect(search_, &SearchPanel::message_chosen, this,
            [this](int other_id, const QString& name, int id) {
                SelectConversation(other_id);
                emit message_result_chosen(other_id, name, id);
            });
    return list_or_results_;
}

void ConnectWid::FocusSearch() {
    msg_btn_->click();
    search_->Focus();
}

void ConnectWid::BuildTree() {
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("group_tree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setFrameShape(QFrame::NoFrame);
    tree_->setFocusPolicy(Qt::NoFocus);
    tree_->setIndentation(12);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tree_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A click toggles a node (below); the arrow and double clicks would toggle it twice.
    tree_->setItemsExpandable(false);
    tree_->setExpandsOnDoubleClick(false);
    tree_->setFont(UiFont::Font(14));
    const QStringList names = {QStringLiteral("单位群组"), QStringLiteral("公共群组"),
                               QStringLiteral("个人群组"), QStringLiteral("讨论组")};
    for (int tree = kUnitTree; tree <= kDiscussTree; ++tree) {
        auto* root = new QTreeWidgetItem(tree_, {names.at(tree)});
        root->setSizeHint(0, QSize(0, kNodeHeight));
        QFont font = UiFont::Font(14);
        font.setBold(true);
        root->setFont(0, font);
        roots_[tree] = root;
        nodes_.insert(root);
    }
}

void ConnectWid::ConnectWidgets() {
    connect(tab_group_, &QButtonGroup::idClicked, this, [this](int id) {
        qDebug() << "ConnectWid: btn clicked: id: " << id;
        connect_stacked_wid_->setCurrentIndex(id);
    });
    // Both read the row at once: by the time a queued pointer arrived, a rebuild could have
    // given the row to another conversation or freed it.
    connect(this, &ConnectWid::switch_item, this,
            [this](QListWidgetItem* current, QListWidgetItem*) { OnRowSwitched(current); });
    connect(list_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current, QListWidgetItem*) { OnRowSwitched(current); });
    connect(tree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { OnTreeItemClicked(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this, &ConnectWid::RequestLeafAvatars);
}

void ConnectWid::CreateGroupHelper() {
    group_helper_ = new ConnectGroupHelper;
    group_thread_ =
        worker_thread::Attach(this, &ConnectWid::quit_group_helper_thread, group_helper_);
    const auto queued = Qt::QueuedConnection;
    connect(this, &ConnectWid::updata_unit_group_item, group_helper_,
            &ConnectGroupHelper::LoadUnitGroupInfo, queued);
    connect(this, &ConnectWid::updata_public_group_item, group_helper_,
            &ConnectGroupHelper::LoadPublicGroupInfo, queued);
    connect(this, &ConnectWid::updata_user_group_item, group_helper_,
            &ConnectGroupHelper::LoadUserGroupInfo, queued);
    connect(this, &ConnectWid::updata_discuss_group_item, group_helper_,
            &ConnectGroupHelper::LoadDiscussGroupInfo, queued);
    connect(group_helper_, &ConnectGroupHelper::load_unit_group_tree, this,
            &ConnectWid::LoadUnitGroupTree, queued);
    connect(group_helper_, &ConnectGroupHelper::load_public_group_tree, this,
            &ConnectWid::LoadPublicGroupTree, queued);
    connect(group_helper_, &ConnectGroupHelper::load_user_group_tree, this,
            &ConnectWid::LoadUserGroupTree, queued);
    connect(group_helper_, &ConnectGroupHelper::load_discuss_group_tree, this,
            &ConnectWid::LoadDiscussGroupTree, queued);
    connect(group_helper_, &ConnectGroupHelper::ready_to_req, this, &ConnectWid::RequestRoots,
            queued);
    group_thread_->start();
}

void ConnectWid::RequestRoots() {
    RequestChildren(kUnitTree, QStringLiteral("0"), roots_[kUnitTree]);
    RequestChildren(kPublicTree, QStringLiteral("1"), roots_[kPublicTree]);
    RequestChildren(kUserTree, QStringLiteral("1"), roots_[kUserTree]);
    RequestChildren(kDiscussTree, QStringLiteral("0"), roots_[kDiscussTree]);
}

void ConnectWid::RequestChildren(Tree tree, const QString& id, QTreeWidgetItem* node) {
    switch (tree) {
        case kUnitTree:
            emit updata_unit_group_item(id, node);
            break;
        case kPublicTree:
            emit updata_public_group_item(id, node);
            break;
        case kUserTree:
            emit updata_user_group_item(id, node);
            break;
        case kDiscussTree:
            emit updata_discuss_group_item(id, node);
            break;
    }
}

void ConnectWid::LoadUnitGroupTree(QStringList infos, QTreeWidgetItem* item) {
    FillNode(kUnitTree, infos, item);
}

void ConnectWid::LoadPublicGroupTree(QStringList infos, QTreeWidgetItem* item) {
    FillNode(kPublicTree, infos, item);
}

void ConnectWid::LoadUserGroupTree(QStringList infos, QTreeWidgetItem* item) {
    FillNode(kUserTree, infos, item);
}

void ConnectWid::LoadDiscussGroupTree(QStringList infos, QTreeWidgetItem* item) {
    FillNode(kDiscussTree, infos, item);
}

void ConnectWid::FillNode(Tree tree, const QStringList& infos, QTreeWidgetItem* node) {
    // Only a node of this panel is touched; anything else is a handle that went astray.
    if (!node || !nodes_.contains(node)) {
        qDebug().noquote() << kTreeErrors[tree] << infos;
        return;
    }
    QStringList group_infos;
    for (const QString& info : infos) {
        const QStringList fields = info.split(QLatin1Char(','), Qt::SkipEmptyParts);
        // One broken entry costs only itself, not the rest of the node.
        if (fields.size() < 2) {
            qDebug().noquote() << kTreeErrors[tree] << info;
            continue;
        }
        auto* child = new QTreeWidgetItem(node);
        const bool group = fields.at(0).startsWith(QLatin1Char('-'));
        if (group && tree != kDiscussTree) {
            child->setText(0, fields.at(1));
            child->setSizeHint(0, QSize(0, kNodeHeight));
            nodes_.insert(child);
            RequestChildren(tree, fields.at(0), child);
        } else {
            AddLeaf(tree, fields, child);
        }
        if (group && tree != kUnitTree)
            group_infos << PositiveId(fields.at(0)) + QLatin1Char(',') + fields.at(1);
    }
    if (!group_infos.isEmpty()) {
        LearnGroupNames(group_infos);
        emit update_db_group_infos(group_infos);
    }
    if (node->isExpanded())
        RequestLeafAvatars(node);
}

void ConnectWid::LearnGroupNames(const QStringList& group_infos) {
    for (const QString& info : group_infos) {
        const int other_id = -info.section(QLatin1Char(','), 0, 0).toInt();
        const QString name = info.section(QLatin1Char(','), 1, 1);
        group_names_.insert(other_id, name);
    }
    rows_->Sync();
}

void ConnectWid::AddLeaf(Tree tree, const QStringList& fields, QTreeWidgetItem* child) {
    auto* leaf = new ConnectMsgListItem(ConnectMsgListItem::kTreeLeaf, avatars_);
    bool ok = false;
    const int id = fields.at(0).toInt(&ok);
    if (ok)
        leaf->SetOtherId(id);
    leaf->SetName(fields.at(1));
    // Members of public groups keep the default picture.
    if (ok && tree != kPublicTree) {
        leaf->SetAvatar(id);
        leaves_.insert(id, leaf);
    }
    child->setSizeHint(0, QSize(0, kLeafHeight));
    tree_->setItemWidget(child, 0, leaf);
}

void ConnectWid::OnTreeItemClicked(QTreeWidgetItem* item) {
    if (item->childCount() > 0) {
        item->setExpanded(!item->isExpanded());
        return;
    }
    auto* leaf = qobject_cast<ConnectMsgListItem*>(tree_->itemWidget(item, 0));
    if (!leaf)
        return;
    bool ok = false;
    const int other_id = leaf->property("other_id").toInt(&ok);
    if (ok)
        emit connect_item_changed(other_id, leaf->Name());
}

void ConnectWid::RequestLeafAvatars(QTreeWidgetItem* node) {
    // People whose picture is not here yet are asked for once they come into view.
    for (int i = 0; i < node->childCount(); ++i) {
        auto* leaf = qobject_cast<ConnectMsgListItem*>(tree_->itemWidget(node->child(i), 0));
        if (!leaf || leaf->AvatarLoaded())
            continue;
        const int id = leaf->OtherId();
        if (id <= 0 || !leaves_.contains(id, leaf) || requested_avatars_.contains(id))
            continue;
        requested_avatars_.insert(id);
        emit req_avatar(QString::number(id));
    }
}

void ConnectWid::UpdateConnectList(ConnectListItemInfoPointers connects) {
    const QSignalBlocker blocker(list_);
    rows_->Set(connects);
    int current_row = -1;
    QListWidgetItem* switch_to = nullptr;
    for (int i = 0; i < connects.size(); ++i) {
        const ConnectListItemInfo* info = connects.at(i);
        if (has_selection_ && info->other_id == selected_id_)
            current_row = i;
        if (info->selected) {
            current_row = i;
            switch_to = list_->item(i);
        }
    }
    qDeleteAll(connects);
    list_->setCurrentRow(current_row);
    rows_->Sync();
    if (switch_to)
        emit switch_item(switch_to, nullptr);
}

QString ConnectWid::RowTitle(const ConnectListItemInfo& info) const {
    // A group's record carries the name of whoever wrote last; the group's own name is its title.
    const QString group = info.other_id < 0 ? group_names_.value(info.other_id) : QString();
    if (!group.isEmpty())
        return group;
    return info.other_id == 0 ? QStringLiteral("系统消息") : info.other_name;
}

ConnectMsgListItem* ConnectWid::RowWidget(int row) const {
    return rows_->Widget(row);
}

void ConnectWid::OnRowSwitched(QListWidgetItem* current) {
    const int index = current ? list_->row(current) : -1;
    if (index < 0 || index >= rows_->Count())
        return;
    const int other_id = rows_->At(index).other_id;
    const QString name = RowTitle(rows_->At(index));
    has_selection_ = true;
    selected_id_ = other_id;
    QMetaObject::invokeMethod(
        this, [this, other_id, name] { ChooseConversation(other_id, name); }, Qt::QueuedConnection);
}

void ConnectWid::ChooseConversation(int other_id, const QString& name) {
    ConnectMsgListItem* row = rows_->WidgetOf(other_id);
    if (row && !row->AvatarLoaded() && other_id > 0)
        emit req_avatar(QString::number(other_id));
    emit connect_item_changed(other_id, name);
}

void ConnectWid::SelectConversation(int other_id) {
    msg_btn_->animateClick(100);
    has_selection_ = true;
    selected_id_ = other_id;
    const QSignalBlocker blocker(list_);
    list_->setCurrentRow(rows_->IndexOf(other_id));
    // A list behind the search results is scrolled once it shows again: scrolled while hidden,
    // its row widgets would stay where they were and show other conversations than the rows.
    if (list_->isVisible())
        ShowCurrentRow();
}

void ConnectWid::ShowCurrentRow() {
    list_->doItemsLayout();
    if (list_->currentItem())
        list_->scrollToItem(list_->currentItem());
    rows_->Sync();
}

void ConnectWid::OnAvatarReady(int id) {
    avatars_->Invalidate(id);
    if (ConnectMsgListItem* row = rows_->WidgetOf(id))
        row->SetAvatar(id);
    for (ConnectMsgListItem* leaf : leaves_.values(id))
        leaf->SetAvatar(id);
}

void ConnectWid::OnFixSysMsgCount(int count) {
    rows_->SetUnread(rows_->IndexOf(0), count);
}
