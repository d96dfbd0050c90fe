#pragma once

#include <QMap>
#include <QObject>
#include <QString>

using AccountMap = QMap<QString, QString>;

// Everything kept on disk per system user and per logged-in user: the data root, cfg.ini, the
// account map, the per-unit folder with msg.db, avatars and attachments, the update folder and
// the device id. The state is process-wide; the object itself carries none.
class Account : public QObject {
    Q_OBJECT
public:
    explicit Account(QObject* parent = nullptr);
    ~Account() override;

    static void SetupDataRoot();
    static void SetupUpdatePath();

    static AccountMap& GetAccountInfo(const QString& usr_id);
    static bool SaveAccountInfo(const QString& usr_id);
    static bool HasAccountConfig(const QString& usr_id);

    static bool InitDB();
    static bool InitAvatarPath();
    static bool InitMsgPath();
    // Where InitDB moved a damaged msg.db, once; empty when it found none.
    static QString TakeDamagedDb();
    // Whether InitDB read the whole msg.db; when it did not, BackgroundDbCheck does.
    static bool MsgDbReadWhole();

    static QString GetEncryptPSW(const QString& password);
    // The substitution alone; a pair outside 1..6 gives an empty text.
    static QString Substitute(const QString& text, int pair);

    static QString DataRoot();
    static QString AccountsPath();
    static QString UpdatePath();
    static QString DeviceId();
    static QString CurUserId();
    static void SetCurUserId(const QString& usr_id);
    static QString CurUnitId();
    static QString Nick();
    static QString UserName();
    static QString UserId();
    static QString AvatarPath();
    static QString MsgPath();

    // Forgets the account map and the logged-in user's values; folders and device id stay.
    static void ResetState();

private:
    // False when a damaged file could not be moved out of the way.
    static bool SetDamagedDbAside(const QString& db_path);
};
