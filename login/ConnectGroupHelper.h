#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include "TreeNodeHandle.h"
#include "base/Account.h"

class ConnectGroupHelperHttp;

// Fetches the contact directories for the contacts panel, one tree node per request, and turns
// each reply into comma-joined entries for that node. Lives on a thread of its own: the nodes
// it is given are opaque handles, never dereferenced here, handed back unchanged with the result.
class ConnectGroupHelper : public QObject {
    Q_OBJECT
public:
    enum Method {
        kOrgAndUser,
        kRoleAndUser,
        kPublicGroup,
        kGroupUser,
        kMyGroup,
        kDiscussGroup,
    };

    explicit ConnectGroupHelper(QObject* parent = nullptr);
    ~ConnectGroupHelper() override;

    // A group id with its leading "-", added only when missing.
    static QString GroupId(const QString& id);
    // Hands a reply to its directory's parser with the node that asked (null for an unknown
    // request number); the request is forgotten.
    void OnReply(Method method, bool ok, const QByteArray& data, int index);

signals:
    void ready_to_req();
    void unit_group_info_ready(QByteArray data, QTreeWidgetItem* item);
    void public_group_info_ready(QByteArray data, QTreeWidgetItem* item);
    void user_group_info_ready(QByteArray data, QTreeWidgetItem* item, bool is_group_mem);
    void discuss_group_info_ready(QByteArray data, QTreeWidgetItem* item);
    void load_unit_group_tree(QStringList unit_infos, QTreeWidgetItem* item);
    void load_public_group_tree(QStringList unit_infos, QTreeWidgetItem* item);
    void load_user_group_tree(QStringList unit_infos, QTreeWidgetItem* item);
    void load_discuss_group_tree(QStringList unit_infos, QTreeWidgetItem* item);

public slots:
    void OnStart();
    void LoadUnitGroupInfo(QString org_id, QTreeWidgetItem* item);
    void LoadPublicGroupInfo(QString role_id, QTreeWidgetItem* item);
    void LoadUserGroupInfo(QString role_id, QTreeWidgetItem* item);
    void LoadDiscussGroupInfo(QString role_id, QTreeWidgetItem* item);

private slots:
    void ParseUnitGroup(QByteArray data, QTreeWidgetItem* item);
    void ParsePublicGroup(QByteArray data, QTreeWidgetItem* item);
    void ParseUserGroup(QByteArray data, QTreeWidgetItem* item, bool is_group_mem);
    void ParseDiscussGroup(QByteArray data, QTreeWidgetItem* item);

private:
    // On the worker thread; a request that comes before OnStart creates them too.
    void CreateRequests();
    void Post(Method method, QTreeWidgetItem* item, const QString& field = QString(),
              const QString& value = QString());

    AccountMap account_;
    // One request object per method, each with the callback of its method.
    QHash<int, ConnectGroupHelperHttp*> http_;
    int request_counter_ = 0;
    QHash<int, QTreeWidgetItem*> pending_nodes_;
};
