#include "ConnectGroupHelper.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include "ConnectGroupHelperHttp.h"
#include "base/FormBody.h"
#include "base/Json.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {

namespace method = service_paths::method;

// Indexed by ConnectGroupHelper::Method.
const char* const kMethodNames[] = {method::kOrgAndUserGetList,  method::kRoleAndUserGetList,
                                    method::kPublicGroupGetList, method::kGroupUserGetList,
                                    method::kMyGroupGetList,     method::kDiscussGroupGetList};

const QString kMissing = QStringLiteral("Err");

QString Name(ConnectGroupHelper::Method method) {
    return QLatin1String(kMethodNames[method]);
}

QString WithoutMinus(const QString& id) {
    return id.startsWith(QLatin1Char('-')) ? id.mid(1) : id;
}

// The records of "Velta.R" (an array or a single object); false when the reply is not a
// successful envelope.
bool Records(const Json& json, QJsonArray* records) {
    if (!json.IsValid() || json.Text(QStringLiteral("Velta.EID")) != QLatin1String("0"))
        return false;
    *records = json.Objects(QStringLiteral("Velta.R"));
    return true;
}

QString Field(const QJsonObject& record, const char* key) {
    return record.value(QLatin1String(key)).toString();
}

// Groups of the public and personal directories, or members of a public group.
QStringList GroupEntries(const QJsonArray& records) {
    QStringList entries;
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        if (record.contains(QLatin1String("Group_ID"))) {
            entries << QStringList{ConnectGroupHelper::GroupId(Field(record, "Group_ID")),
                                   Field(record, "GroupName"),
                                   Field(record, "CreateUser_ID"),
                                   Field(record, "CreateUserName"),
                                   Field(record, "Tag"),
                                   Field(record, "IsShow")}
                           .join(QLatin1Char(','));
        } else if (record.contains(QLatin1String("ID"))) {
            entries << Field(record, "ID") + QLatin1Char(',') + Field(record, "Name");
        }
    }
    return entries;
}

// "<id>,<name>" of every record that has both, read by dot paths; a missing value is "Err".
QStringList PairEntries(const Json& json, const QJsonArray& records, const QString& id_key,
                        const QString& name_key, bool group) {
    QStringList entries;
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        const QString id = json.Text(id_key, kMissing, record);
        const QString name = json.Text(name_key, kMissing, record);
        if (record.isEmpty() || id == kMissing || name == kMissing)
            continue;
        entries << (group ? ConnectGroupHelper::GroupId(id) : id) + QLatin1Char(',') + name;
    }
    return entries;
}

}  // namespace

// The account is copied here, on the thread that signed in.
ConnectGroupHelper::ConnectGroupHelper(QObject* parent)
    : QObject(parent), account_(Account::GetAccountInfo(Account::CurUserId())) {
    connect(this, &ConnectGroupHelper::unit_group_info_ready, this,
            &ConnectGroupHelper::ParseUnitGroup);
    connect(this, &ConnectGroupHelper::public_group_info_ready, this,
            &ConnectGroupHelper::ParsePublicGroup);
    connect(this, &ConnectGroupHelper::user_group_info_ready, this,
            &ConnectGroupHelper::ParseUserGroup);
    connect(this, &ConnectGroupHelper::discuss_group_info_ready, this,
            &ConnectGroupHelper::ParseDiscussGroup);
}

ConnectGroupHelper::~ConnectGroupHelper() {
    qDeleteAll(http_);
    qDebug() << "ConnectGroupHelper::~ConnectGroupHelper";
}

QString ConnectGroupHelper::GroupId(const QString& id) {
    return id.startsWith(QLatin1Char('-')) ? id : QLatin1Char('-') + id;
}

void ConnectGroupHelper::OnStart() {
    qDebug() << "ConnectGroupHelper::OnStart" << QThread::currentThreadId();
    CreateRequests();
    emit ready_to_req();
}

void ConnectGroupHelper::CreateRequests() {
    if (!http_.isEmpty())
        return;
    for (int m = kOrgAndUser; m <= kDiscussGroup; ++m)
        http_.insert(m, new ConnectGroupHelperHttp);
}

void ConnectGroupHelper::LoadUnitGroupInfo(QString org_id, QTreeWidgetItem* item) {
    Post(kOrgAndUser, item, QStringLiteral("org_id"), WithoutMinus(org_id));
}

void ConnectGroupHelper::LoadPublicGroupInfo(QString role_id, QTreeWidgetItem* item) {
    if (role_id.startsWith(QLatin1Char('-')))
        Post(kRoleAndUser, item, QStringLiteral("role_id"), WithoutMinus(role_id));
    else
        Post(kPublicGroup, item);
}

void ConnectGroupHelper::LoadUserGroupInfo(QString role_id, QTreeWidgetItem* item) {
    if (role_id.startsWith(QLatin1Char('-')))
        Post(kGroupUser, item, QStringLiteral("group_id"), WithoutMinus(role_id));
    else
        Post(kMyGroup, item);
}

void ConnectGroupHelper::LoadDiscussGroupInfo(QString, QTreeWidgetItem* item) {
    Post(kDiscussGroup, item);
}

void ConnectGroupHelper::Post(Method method, QTreeWidgetItem* item, const QString& field,
                              const QString& value) {
    CreateRequests();
    const int index = ++request_counter_;
    pending_nodes_.insert(index, item);
    FormBody body;
    body.Add(QStringLiteral("user_id"), account_.value(QStringLiteral("User_ID")))
        .Add(QStringLiteral("sessionid"), account_.value(QStringLiteral("SessionID")))
        .Add(QStringLiteral("unit_id"), account_.value(QStringLiteral("Unit_ID")));
    if (!field.isEmpty())
        body.Add(field, value);
    qDebug().noquote()
        << QStringLiteral("------------------ %1 -----------------------------").arg(Name(method));
    http_.value(method)->Request(HttpBase::kPost,
                                 Services::InterfaceUrl(Services::UnitBase(account_), Name(method)),
                                 body.Encode(), nullptr, index,
                                 [this, method](bool ok, const QByteArray& data, QString, int i) {
                                     OnReply(method, ok, data, i);
                                 });
}

void ConnectGroupHelper::OnReply(Method method, bool ok, const QByteArray& data, int index) {
    qDebug().noquote() << Name(method) + QStringLiteral(": data: ") + QString::fromUtf8(data);
    QTreeWidgetItem* item = pending_nodes_.take(index);
    if (!ok)
        return;
    switch (method) {
        case kOrgAndUser:
            emit unit_group_info_ready(data, item);
            break;
        case kRoleAndUser:
        case kPublicGroup:
            emit public_group_info_ready(data, item);
            break;
        case kGroupUser:
        case kMyGroup:
            emit user_group_info_ready(data, item, method == kGroupUser);
            break;
        case kDiscussGroup:
            emit discuss_group_info_ready(data, item);
            break;
    }
}

void ConnectGroupHelper::ParseUnitGroup(QByteArray data, QTreeWidgetItem* item) {
    QJsonArray records;
    if (!Records(Json(data), &records))
        return;
    QStringList entries;
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        entries << Field(record, "ID") + QLatin1Char(',') + Field(record, "Name");
    }
    emit load_unit_group_tree(entries, item);
}

void ConnectGroupHelper::ParsePublicGroup(QByteArray data, QTreeWidgetItem* item) {
    QJsonArray records;
    if (Records(Json(data), &records))
        emit load_public_group_tree(GroupEntries(records), item);
}

void ConnectGroupHelper::ParseUserGroup(QByteArray data, QTreeWidgetItem* item, bool is_group_mem) {
    const Json json(data);
    if (!json.IsValid()) {
        qDebug().noquote() << "user_group_info_ready: error: " << QString::fromUtf8(data);
        return;
    }
    QJsonArray records;
    if (!Records(json, &records))
        return;
    emit load_user_group_tree(is_group_mem ? PairEntries(json, records, QStringLiteral("User_ID"),
                                                         QStringLiteral("UserName"), false)
                                           : GroupEntries(records),
                              item);
}

void ConnectGroupHelper::ParseDiscussGroup(QByteArray data, QTreeWidgetItem* item) {
    const Json json(data);
    QJsonArray records;
    if (!Records(json, &records))
        return;
    // Listed with the id negated already; a plain one would open a person's conversation.
    emit load_discuss_group_tree(
        PairEntries(json, records, QStringLiteral("Group_ID"), QStringLiteral("GroupName"), true),
        item);
}
