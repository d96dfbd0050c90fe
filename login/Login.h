#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "base/Account.h"
#include "base/RetryDelay.h"

class GroupChose;
class LineEdit;
class LoginHttp;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// The first window: unit, user name and password, remembered settings and automatic login.
// Emits tobe_quit(true, user name) after a successful login and tobe_quit(false, ...) when the
// user closes it.
class Login : public QWidget {
    Q_OBJECT
public:
    explicit Login(QWidget* parent = nullptr);
    ~Login() override;

    // first_start is false for a re-login, which never logs in by itself: the user came back to
    // change the unit or because the session ended.
    bool Init(bool first_start);
    // After the session was lost: logs in without a click once delay_ms have passed, when the
    // unit, the name and a remembered password are filled, and keeps trying, more slowly each
    // time, while the server cannot be reached. A refused login ends the trying.
    void LogInByItself(int delay_ms);

    // The user folder that GetAccountInfo("") would load, when it holds a settings file.
    static QString DefaultAccountUser();

    // The unit chooser's answer: a unit record, or empty when nothing was chosen.
    void OnUnitChosen(const QString& record);

signals:
    void tobe_quit(bool success, QString usr_id);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetupUI();
    void BuildWidgets();
    void BuildRows();
    void LayoutWidgets();
    void LoadSettings();
    void LoadAvatar(const AccountMap& account);
    void ConnectSignals();

    void SetUnit(const QString& record);
    QStringList ChooserHistory() const;
    void OnChoseGroup();
    void RunChooser(GroupChose* chooser, const QByteArray& region_data);
    void OnUnitList(const QString& district_id);
    void OnLoginUser();
    void OnLoginClicked();
    void OnLoginReply(bool ok, const QByteArray& data, const QString& status);
    void WaitForServer();
    void SaveLoginSettings(AccountMap& account) const;
    void OnCloseBtn();

    bool finished_ = false;
    bool auto_retry_ = false;
    RetryDelay retry_;
    QTimer* retry_timer_ = nullptr;

    // Region and unit lists on one request object, the login call on another, so a reply is
    // never handed to the other request's callback.
    LoginHttp* http_ = nullptr;
    LoginHttp* region_http_ = nullptr;
    QPointer<GroupChose> chooser_;

    QFrame* bg_frame_ = nullptr;
    QFrame* banner_frame_ = nullptr;
    QLabel* avatar_lab_ = nullptr;
    QPushButton* min_btn_ = nullptr;
    QPushButton* close_btn_ = nullptr;
    QLabel* group_ico_lab_ = nullptr;
    QFrame* group_line_ = nullptr;
    LineEdit* group_edit_ = nullptr;
    QPushButton* chose_group_btn_ = nullptr;
    QLabel* usr_name_ico_lab_ = nullptr;
    QFrame* usr_line_ = nullptr;
    LineEdit* usr_name_edit_ = nullptr;
    QLabel* psw_ico_lab_ = nullptr;
    QFrame* psw_line_ = nullptr;
    LineEdit* psw_edit_ = nullptr;
    QCheckBox* remember_psw_checkbox_ = nullptr;
    QPushButton* forget_psw_btn_ = nullptr;
    QPushButton* login_btn_ = nullptr;
};
