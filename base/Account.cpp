#include "Account.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QUuid>

#include "ConnectionPool.h"
#include "LogText.h"
#include "MsgDbCheck.h"
#include "MsgDbSchema.h"
#include "PasswordTables.h"
#include "PrivateFiles.h"

namespace {

struct AccountState {
    QString data_root;
    QString update_path;
    QString device_id;
    AccountMap account;
    QString cur_user_id;
    QString cur_unit_id;
    QString nick;
    QString user_name;
    QString user_id;
    QString avatar_path;
    QString msg_path;
    // Where the last damaged msg.db went, until the user has been told.
    QString damaged_db;
    // Whether InitDB read every page of msg.db, or only its header and tables.
    bool db_read_whole = false;
};

AccountState& State() {
    static AccountState state;
    return state;
}

const QStringList kLoadedKeys = {"usr_id",  "usr_psw",  "usr_avatar", "unit_history",
                                 "rem_psw", "cur_unit", "User_ID"};

QString ResolveLink(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

bool HasUserFolder() {
    return !QDir(Account::AccountsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
}

QString UnitFolder() {
    return QStringLiteral("%1/account/%2/%3")
        .arg(State().data_root, State().cur_user_id, State().cur_unit_id);
}

void SetupDeviceId() {
    const QString root = State().data_root;
    const QFileInfoList files =
        QDir(root).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Size | QDir::Reversed);
    for (const QFileInfo& file : files) {
        if (file.fileName().endsWith(QLatin1String("-dec"))) {
            State().device_id = file.fileName().chopped(4);
            return;
        }
    }
    const QString braced = QUuid::createUuid().toString();
    const QString id = braced.mid(1, braced.size() - 2);
    QFile marker(QStringLiteral("%1/%2-dec").arg(root, id));
    marker.open(QIODevice::WriteOnly);
    marker.close();
    if (marker.exists())
        State().device_id = id;
}

}  // namespace

Account::Account(QObject* parent) : QObject(parent) {}

Account::~Account() {
    qDebug() << "Account::~Account";
}

void Account::SetupDataRoot() {
    QString root = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (root.isEmpty())
        return;
    root = ResolveLink(root);
    State().data_root = root;
    if (!QFileInfo::exists(root)) {
        const QString accounts = AccountsPath();
        PrivateFiles::MakeFolder(accounts);
        qDebug().noquote().nospace() << "create account path: " << accounts;
    }
    qDebug().noquote().nospace() << "app config path: " << root;
    PrivateFiles::Tree(root);
    SetupDeviceId();
}

void Account::SetupUpdatePath() {
    SetupDataRoot();
    const QString path = QStringLiteral("%1/update").arg(State().data_root);
    if (QFileInfo::exists(path) || PrivateFiles::MakeFolder(path))
        State().update_path = path;
}

AccountMap& Account::GetAccountInfo(const QString& usr_id) {
    AccountState& state = State();
    AccountMap& map = state.account;
    const QString map_user = map.value(QStringLiteral("usr_id"));
    if (!map.isEmpty() &&
        (map_user == usr_id ||
         (usr_id.isEmpty() && !state.cur_user_id.isEmpty() && map_user == state.cur_user_id))) {
        return map;
    }
    const QStringList users =
        QDir(AccountsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    qDebug() << "accounts:" << users;
    if (users.isEmpty())
        return map;

    const QString folder = usr_id.isEmpty() ? users.first() : usr_id;
    const QString path = QStringLiteral("%1/account/%2/cfg.ini").arg(state.data_root, folder);
    qDebug().noquote().nospace() << "GetAccountInfo: setting_file_path: " << path;
    if (QFileInfo::exists(path)) {
        QSettings settings(path, QSettings::IniFormat);
        settings.setIniCodec("System");
        for (const QString& key : kLoadedKeys)
            map[key] = settings.value(key, QString()).toString();
        qDebug().noquote() << LogText::Map(map);
    }
    return map;
}

bool Account::SaveAccountInfo(const QString& usr_id) {
    AccountState& state = State();
    const QString account_path = QStringLiteral("%1/account/%2").arg(state.data_root, usr_id);
    qDebug().noquote().nospace() << "SaveAccountInfo: account_path: " << account_path;
    PrivateFiles::MakeFolder(account_path);

    const QString file_path = QStringLiteral("%1/cfg.ini").arg(account_path);
    qDebug().noquote().nospace() << "settings_file_path: " << file_path;
    qDebug().noquote() << "account_settings_:" << LogText::Map(state.account);
    {
        QSettings settings(file_path, QSettings::IniFormat);
        settings.setIniCodec("System");
        for (auto it = state.account.cbegin(); it != state.account.cend(); ++it) {
            settings.setValue(it.key(), it.value());
        }
        settings.sync();
    }
    PrivateFiles::File(file_path);

    const QString unit_id = state.account.value(QStringLiteral("Unit_ID"));
    const QString unit_path =
        QStringLiteral("%1/account/%2/%3").arg(state.data_root, usr_id, unit_id);
    if (!QFileInfo::exists(unit_path) && !PrivateFiles::MakeFolder(unit_path))
        return false;

    state.cur_unit_id = unit_id;
    qDebug().noquote().nospace() << "SaveAccountInfo: account_path: " << unit_id;
    state.nick = state.account.value(QStringLiteral("Nick"));
    state.user_name = state.account.value(QStringLiteral("UserName"));
    state.user_id = state.account.value(QStringLiteral("User_ID"));
    return true;
}

bool Account::HasAccountConfig(const QString& usr_id) {
    const QString path = QStringLiteral("%1/account/%2/cfg.ini").arg(State().data_root, usr_id);
    qDebug().noquote().nospace() << "usr_cfg_path: " << path;
    return QFileInfo::exists(path);
}

bool Account::InitDB() {
    if (!HasUserFolder())
        return false;
    const QString db_path = QStringLiteral("%1/msg.db").arg(UnitFolder());
    qDebug().noquote().nospace() << "Account::InitDB: db_file_path: " << db_path;
    ConnectionPool::Instance()->SetupDBConfig([&db_path](DB_CFG* cfg) {
        cfg->database_name = db_path;
        cfg->database_type = QStringLiteral("QSQLITE");
        cfg->port = 0;
        cfg->debug = false;
        cfg->test_on_borrow = false;
        cfg->test_on_borrow_sql = QStringLiteral("SELECT 1");
    });
    if (QFileInfo::exists(db_path) && !SetDamagedDbAside(db_path))
        return false;
    if (!QFileInfo::exists(db_path) && !MsgDbSchema::Create()) {
        // A half-made file would never be repaired: remove it so the next login tries again.
        ConnectionPool::Instance()->CloseConnection();
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            QFile::remove(db_path + QLatin1String(suffix));
        }
        qDebug().noquote().nospace() << "!!! Account::InitDB: schema creation failed: " << db_path;
        return false;
    }
    if (!MsgDbSchema::EnsureIndexes())
        qDebug() << "!!! Account::InitDB: index creation failed";
    PrivateFiles::Database(db_path);
    return true;
}

bool Account::SetDamagedDbAside(const QString& db_path) {
    // A connection left from an earlier login on this file goes first.
    ConnectionPool::Instance()->CloseConnection();
    const MsgDbCheck::Depth depth = MsgDbCheck::DepthForLogin(db_path);
    State().db_read_whole = depth == MsgDbCheck::Depth::kFull;
    const MsgDbCheck::State state = MsgDbCheck::Check(db_path, depth);
    if (state == MsgDbCheck::State::kUnknown)
        qDebug() << "!!! Account::InitDB: msg.db could not be checked, used as it is";
    if (state == MsgDbCheck::State::kHealthy && depth == MsgDbCheck::Depth::kFull)
        QFile::remove(MsgDbCheck::DamageMark(db_path));
    if (state != MsgDbCheck::State::kDamaged)
        return true;
    const QString aside = MsgDbCheck::MoveAside(db_path, QDateTime::currentDateTime());
    if (aside.isEmpty())
        return false;
    QFile::remove(MsgDbCheck::DamageMark(db_path));
    State().damaged_db = aside;
    return true;
}

bool Account::MsgDbReadWhole() {
    return State().db_read_whole;
}

QString Account::TakeDamagedDb() {
    const QString aside = State().damaged_db;
    State().damaged_db.clear();
    return aside;
}

bool Account::InitAvatarPath() {
    if (!HasUserFolder())
        return false;
    const QString path = QStringLiteral("%1/avatar").arg(UnitFolder());
    if (!QFileInfo::exists(path) && !PrivateFiles::MakeFolder(path))
        return false;
    State().avatar_path = path;
    qDebug().noquote().nospace() << "Account::InitAvatarPath: avatar_path: " << path;
    return true;
}

bool Account::InitMsgPath() {
    if (!HasUserFolder())
        return false;
    const QString path = QStringLiteral("%1/message").arg(UnitFolder());
    if (!QFileInfo::exists(path) && !PrivateFiles::MakeFolder(path))
        return false;
    State().msg_path = path;
    qDebug().noquote().nospace() << "Account::InitMsgPath: msg_path: " << path;
    for (const char* sub : {"file", "audio", "video", "image", "tmp"}) {
        const QString dir = QStringLiteral("%1/%2").arg(path, QLatin1String(sub));
        if (!QFileInfo::exists(dir) && !PrivateFiles::MakeFolder(dir))
            return false;
    }
    return true;
}

QString Account::Substitute(const QString& text, int pair) {
    const QByteArray bytes = text.toLocal8Bit();
    return QString::fromLatin1(
        password_tables::Substitute(std::string(bytes.constData(), bytes.size()), pair).c_str());
}

QString Account::GetEncryptPSW(const QString& password) {
    QRandomGenerator generator(
        static_cast<quint32>(QDateTime::currentMSecsSinceEpoch() % 0xFFFFFFFFLL));
    const int pair = static_cast<int>(generator.generate() % 5) + 1;
    const QString result = Substitute(password, pair) + QString::number(pair);
    qDebug().noquote().nospace() << "Account::GetEncryptPSW: " << LogText::kMask;
    return result;
}

QString Account::DataRoot() {
    return State().data_root;
}
QString Account::AccountsPath() {
    return QStringLiteral("%1/account/").arg(State().data_root);
}
QString Account::UpdatePath() {
    return State().update_path;
}
QString Account::DeviceId() {
    return State().device_id;
}
QString Account::CurUserId() {
    return State().cur_user_id;
}
void Account::SetCurUserId(const QString& usr_id) {
    State().cur_user_id = usr_id;
}
QString Account::CurUnitId() {
    return State().cur_unit_id;
}
QString Account::Nick() {
    return State().nick;
}
QString Account::UserName() {
    return State().user_name;
}
QString Account::UserId() {
    return State().user_id;
}
QString Account::AvatarPath() {
    return State().avatar_path;
}
QString Account::MsgPath() {
    return State().msg_path;
}

void Account::ResetState() {
    const QString root = State().data_root;
    const QString update = State().update_path;
    const QString device = State().device_id;
    State() = AccountState();
    State().data_root = root;
    State().update_path = update;
    State().device_id = device;
}
