#include "Login.h"
#include "widgets/RoundAvatar.h"
#include "widgets/WindowDragger.h"
#include "widgets/WindowStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "GroupChose.h"
#include "LineEdit.h"
#include "LoginHttp.h"
#include "LoginReply.h"
#include "base/FormBody.h"
#include "base/LogText.h"
#include "base/ServicePaths.h"
#include "base/Services.h"

namespace {

const int kShadowMargin = 10;
const int kBannerHeight = 140;
const int kAvatarSize = 80;

// The focus look of one input row: the line under it and its icon.
void StyleRow(QFrame* line, QLabel* ico, const QString& image, bool focused) {
    line->setStyleSheet(QStringLiteral("#%1{background-color:%2;}")
                            .arg(line->objectName(),
                                 focused ? QStringLiteral("#1891ed") : QStringLiteral("#eaeaea")));
    ico->setStyleSheet(
        QStringLiteral("#%1{border-image: url(:/resource/%2%3.png);}")
            .arg(ico->objectName(), image, focused ? QStringLiteral("_light") : QString()));
}

// Re-enables the login button however the reply handler ends.
class LoginButtonGuard {
public:
    explicit LoginButtonGuard(QPushButton* btn) : btn_(btn) {}
    ~LoginButtonGuard() {
        if (btn_) {
            btn_->setEnabled(true);
            btn_->setText(QStringLiteral("登录"));
        }
        qDebug() << "delete p: login_btn enable";
    }

private:
    QPointer<QPushButton> btn_;
};

}  // namespace

Login::Login(QWidget* parent) : QWidget(parent), retry_timer_(new QTimer(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    new WindowDragger(this);
    retry_timer_->setSingleShot(true);
    connect(retry_timer_, &QTimer::timeout, this, &Login::OnLoginUser);
}

Login::~Login() {
    qDebug() << "Login::~Login";
}

bool Login::Init(bool first_start) {
    setFixedSize(446, 419);
    SetupUI();
    BuildWidgets();
    LayoutWidgets();
    http_ = new LoginHttp(this);
    region_http_ = new LoginHttp(this);
    LoadSettings();
    ConnectSignals();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (first_start && !group_edit_->text().isEmpty() && !usr_name_edit_->text().isEmpty() &&
        !psw_edit_->text().isEmpty()) {
        login_btn_->animateClick(100);
    }
    return true;
}

void Login::SetupUI() {
    setWindowTitle(QStringLiteral("登录"));
    WindowStyle::Apply(this, QStringLiteral("login"), QStringLiteral(":/ui/login.qss"),
                       "Login::SetupUI : load qss failed");
}

void Login::BuildWidgets() {
    bg_frame_ = new QFrame(this);
    bg_frame_->setObjectName(QStringLiteral("bg_frame"));
    WindowStyle::AddShadow(bg_frame_, kShadowMargin);

    banner_frame_ = new QFrame(bg_frame_);
    banner_frame_->setObjectName(QStringLiteral("banner_frame"));
    banner_frame_->setFixedHeight(kBannerHeight);

    const auto button = [](QWidget* parent, const char* name, const QString& text) {
        auto* btn = new QPushButton(text, parent);
        btn->setObjectName(QLatin1String(name));
        btn->setCursor(Qt::PointingHandCursor);
        return btn;
    };
    min_btn_ = button(banner_frame_, "min_btn", QString());
    close_btn_ = button(banner_frame_, "close_btn", QString());
    min_btn_->setFixedSize(28, 28);
    close_btn_->setFixedSize(28, 28);
    min_btn_->setToolTip(QStringLiteral("最小化"));
    close_btn_->setToolTip(QStringLiteral("关闭"));

    avatar_lab_ = new QLabel(bg_frame_);
    avatar_lab_->setObjectName(QStringLiteral("avatar_lab"));
    avatar_lab_->setFixedSize(kAvatarSize, kAvatarSize);
    avatar_lab_->setStyleSheet(QStringLiteral("border-image: url(:/resource/default_avatar.png);"));

    BuildRows();
    chose_group_btn_ = button(bg_frame_, "chose_group_btn", QStringLiteral("选择单位"));
    remember_psw_checkbox_ = new QCheckBox(QStringLiteral("记住密码"), bg_frame_);
    remember_psw_checkbox_->setObjectName(QStringLiteral("remember_psw_checkbox"));
    remember_psw_checkbox_->setCursor(Qt::PointingHandCursor);
    forget_psw_btn_ = button(bg_frame_, "forget_psw_btn", QStringLiteral("忘记密码"));
    login_btn_ = button(bg_frame_, "login_btn", QStringLiteral("登录"));
    login_btn_->setFixedHeight(40);
}

void Login::BuildRows() {
    const auto row = [this](const char* ico, const char* line, const char* edit,
                            const QString& placeholder, QLabel** ico_lab, QFrame** line_frame) {
        *ico_lab = new QLabel(bg_frame_);
        (*ico_lab)->setObjectName(QLatin1String(ico));
        (*ico_lab)->setFixedSize(20, 20);
        *line_frame = new QFrame(bg_frame_);
        (*line_frame)->setObjectName(QLatin1String(line));
        (*line_frame)->setFixedHeight(1);
        auto* line_edit = new LineEdit(bg_frame_);
        line_edit->setObjectName(QLatin1String(edit));
        line_edit->setPlaceholderText(placeholder);
        line_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
        line_edit->setFixedHeight(38);
        // The style sheet cannot reach the placeholder's colour.
        QPalette palette = line_edit->palette();
        palette.setColor(QPalette::Text, QColor(QStringLiteral("#333333")));
        palette.setColor(QPalette::PlaceholderText, QColor(QStringLiteral("#b4b9c1")));
        line_edit->setPalette(palette);
        return line_edit;
    };
    group_edit_ = row("group_ico_lab", "group_line", "group_edit", QStringLiteral("选择单位"),
                      &group_ico_lab_, &group_line_);
    group_edit_->setFocusPolicy(Qt::NoFocus);
    group_edit_->setReadOnly(true);
    usr_name_edit_ = row("usr_name_ico_lab", "usr_line", "usr_name_edit", QStringLiteral("用户名"),
                         &usr_name_ico_lab_, &usr_line_);
    psw_edit_ = row("psw_ico_lab", "psw_line", "psw_edit", QStringLiteral("密码"), &psw_ico_lab_,
                    &psw_line_);
    psw_edit_->setEchoMode(QLineEdit::Password);
    StyleRow(group_line_, group_ico_lab_, QStringLiteral("group"), false);
    StyleRow(usr_line_, usr_name_ico_lab_, QStringLiteral("usr_name"), false);
    StyleRow(psw_line_, psw_ico_lab_, QStringLiteral("psw"), false);
}

void Login::LayoutWidgets() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin);
    outer->addWidget(bg_frame_);

    auto* banner = new QHBoxLayout(banner_frame_);
    banner->setContentsMargins(0, 4, 6, 0);
    banner->setSpacing(0);
    banner->addStretch();
    banner->addWidget(min_btn_, 0, Qt::AlignTop);
    banner->addWidget(close_btn_, 0, Qt::AlignTop);

    const auto input_row = [](QLabel* ico, LineEdit* edit, QFrame* line, QWidget* extra) {
        auto* box = new QVBoxLayout;
        box->setSpacing(0);
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(ico);
        row->addWidget(edit, 1);
        if (extra)
            row->addWidget(extra);
        box->addLayout(row);
        box->addWidget(line);
        return box;
    };
    auto* options = new QHBoxLayout;
    options->addWidget(remember_psw_checkbox_);
    options->addStretch();
    options->addWidget(forget_psw_btn_);

    auto* form = new QVBoxLayout;
    form->setContentsMargins(40, 0, 40, 18);
    form->setSpacing(4);
    form->addLayout(input_row(group_ico_lab_, group_edit_, group_line_, chose_group_btn_));
    form->addLayout(input_row(usr_name_ico_lab_, usr_name_edit_, usr_line_, nullptr));
    form->addLayout(input_row(psw_ico_lab_, psw_edit_, psw_line_, nullptr));
    form->addSpacing(8);
    form->addLayout(options);
    form->addSpacing(10);
    form->addWidget(login_btn_);

    auto* column = new QVBoxLayout(bg_frame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(banner_frame_);
    column->addSpacing(kAvatarSize / 2 + 4);
    column->addLayout(form);

    // The avatar sits on the lower edge of the banner, half over it.
    const int panel_width = width() - 2 * kShadowMargin;
    avatar_lab_->move((panel_width - kAvatarSize) / 2, kBannerHeight - kAvatarSize / 2);
    avatar_lab_->raise();
}

QString Login::DefaultAccountUser() {
    const QStringList users =
        QDir(Account::AccountsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    if (users.isEmpty() || !Account::HasAccountConfig(users.first()))
        return QString();
    return users.first();
}

void Login::LoadSettings() {
    if (DefaultAccountUser().isEmpty())
        return;
    const AccountMap& account = Account::GetAccountInfo(QString());
    qDebug().noquote() << "account_settings: " << LogText::Map(account);
    usr_name_edit_->setText(account.value(QStringLiteral("usr_id")));
    psw_edit_->setText(account.value(QStringLiteral("usr_psw")));
    remember_psw_checkbox_->setChecked(account.value(QStringLiteral("rem_psw")) ==
                                       QLatin1String("1"));
    const QString history_text = account.value(QStringLiteral("unit_history"));
    const QStringList history = history_text.isEmpty()
                                    ? QStringList()
                                    : history_text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    qDebug() << "history_list: " << history;
    const QString cur_unit = account.value(QStringLiteral("cur_unit"));
    if (!cur_unit.isEmpty()) {
        SetUnit(cur_unit);
    } else if (!history.isEmpty()) {
        qDebug().noquote().nospace() << "history_unit " << history.last();
        SetUnit(history.last());
    }
    LoadAvatar(account);
}

void Login::LoadAvatar(const AccountMap& account) {
    const QString user_id = account.value(QStringLiteral("User_ID"));
    const QString user = usr_name_edit_->text();
    const QString record = group_edit_->UnitRecord();
    if (user_id.isEmpty() || record.isEmpty() || user.isEmpty())
        return;
    const QString dir = QStringLiteral("%1/account/%2/%3/avatar")
                            .arg(Account::DataRoot(), user, GroupChose::UnitField(record, 0));
    const QPixmap avatar = RoundAvatar::FromFolder(dir, user_id, avatar_lab_->size(),
                                                   avatar_lab_->devicePixelRatioF());
    if (avatar.isNull())
        return;
    avatar_lab_->setStyleSheet(QString());
    avatar_lab_->setPixmap(avatar);
}

void Login::ConnectSignals() {
    connect(login_btn_, &QPushButton::clicked, this, &Login::OnLoginClicked);
    connect(chose_group_btn_, &QPushButton::clicked, this, &Login::OnChoseGroup);
    connect(min_btn_, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(close_btn_, &QPushButton::clicked, this, &Login::OnCloseBtn);
    connect(group_edit_, &LineEdit::focused, this, [this](bool focused) {
        StyleRow(group_line_, group_ico_lab_, QStringLiteral("group"), focused);
    });
    connect(usr_name_edit_, &LineEdit::focused, this, [this](bool focused) {
        StyleRow(usr_line_, usr_name_ico_lab_, QStringLiteral("usr_name"), focused);
    });
    connect(psw_edit_, &LineEdit::focused, this, [this](bool focused) {
        StyleRow(psw_line_, psw_ico_lab_, QStringLiteral("psw"), focused);
    });
}

void Login::SetUnit(const QString& record) {
    group_edit_->SetUnitRecord(record);
    group_edit_->setText(GroupChose::UnitField(record, 1));
    group_edit_->setCursorPosition(0);
}

QStringList Login::ChooserHistory() const {
    const QString user = usr_name_edit_->text();
    // Another user's units are not offered: a name without its own settings has no history.
    const QString owner = user.isEmpty() ? DefaultAccountUser() : user;
    if (owner.isEmpty() || !Account::HasAccountConfig(owner))
        return QStringList();
    const QString history = Account::GetAccountInfo(owner).value(QStringLiteral("unit_history"));
    return history.isEmpty() ? QStringList() : history.split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

void Login::OnChoseGroup() {
    if (chooser_)
        return;
    chooser_ = new GroupChose;
    connect(chooser_, &GroupChose::update_group_info, this, &Login::OnUnitList);
    // One region request at a time: a second click would hand its reply to the first chooser.
    chose_group_btn_->setEnabled(false);
    qDebug() << "------------------ Area_GetXD -----------------------------";
    const QPointer<GroupChose> chooser = chooser_;
    region_http_->Request(
        HttpBase::kPost, Services::VendorUrl(QLatin1String(service_paths::method::kAreaGetXD)),
        FormBody().Add(QStringLiteral("app_id"), QStringLiteral("1")).Encode(),
        [this, chooser](bool ok, const QByteArray& data, const QString&) {
            qDebug().noquote().nospace() << "Area_GetXD: data: " << QString::fromUtf8(data);
            chose_group_btn_->setEnabled(true);
            if (!ok) {
                qDebug() << "Area_GetXD: error";
                if (chooser)
                    chooser->deleteLater();
                return;
            }
            // The chooser runs its own event loop and issues requests on this request object:
            // start it after this callback has returned.
            QTimer::singleShot(0, this, [this, chooser, data] {
                if (chooser)
                    RunChooser(chooser, data);
            });
        });
}

void Login::RunChooser(GroupChose* chooser, const QByteArray& region_data) {
    chooser->SetHistory(ChooserHistory());
    const QPointer<Login> self(this);
    chooser->SetRegionData(region_data, [self](const QString& record) {
        if (self)
            self->OnUnitChosen(record);
    });
}

void Login::OnUnitChosen(const QString& record) {
    if (record.isEmpty())
        return;
    qDebug().noquote().nospace() << "selected_unit_info: " << record;
    SetUnit(record);
}

void Login::OnUnitList(const QString& district_id) {
    qDebug().noquote().nospace() << "district_id: " << district_id;
    qDebug() << "------------------ Unit_GetList -----------------------------";
    region_http_->Request(
        HttpBase::kPost, Services::VendorUrl(QLatin1String(service_paths::method::kUnitGetList)),
        FormBody()
            .Add(QStringLiteral("area_id"), district_id)
            .Add(QStringLiteral("keyword"), QString())
            .Encode(),
        [this](bool ok, const QByteArray& data, const QString&) {
            qDebug().noquote().nospace() << "Unit_GetList: data: " << QString::fromUtf8(data);
            if (!ok) {
                qDebug() << "Unit_GetList: error";
                return;
            }
            if (chooser_)
                chooser_->on_group_info_active(data);
        });
}

void Login::OnLoginUser() {
    const QString unit = group_edit_->text();
    const QString user = usr_name_edit_->text();
    const QString password = psw_edit_->text();
    if (unit.isEmpty() || user.isEmpty() || password.isEmpty())
        return;
    login_btn_->setEnabled(false);
    login_btn_->setText(QStringLiteral("登录中"));

    const QString base = GroupChose::UnitField(group_edit_->UnitRecord(), 2);
    qDebug().noquote().nospace() << "================================================: " << base;
    const QByteArray body =
        FormBody()
            .Add(QStringLiteral("loginid"), user.trimmed())
            .Add(QStringLiteral("encyptpassword"), Account::GetEncryptPSW(password))
            .Add(QStringLiteral("onlinetype"), QStringLiteral("192"))
            .Add(QStringLiteral("devicename"), QString())
            .Add(QStringLiteral("place"), QString())
            .Encode();
    qDebug() << "------------------ LoginUser -----------------------------";
    http_->Request(HttpBase::kPost, Services::LoginUrl(base), body,
                   [this](bool ok, const QByteArray& data, const QString& status) {
                       OnLoginReply(ok, data, status);
                   });
}

void Login::OnLoginClicked() {
    // While waiting for the server a click tries at once.
    retry_timer_->stop();
    OnLoginUser();
}

void Login::LogInByItself(int delay_ms) {
    if (group_edit_->text().isEmpty() || usr_name_edit_->text().isEmpty() ||
        psw_edit_->text().isEmpty()) {
        return;
    }
    auto_retry_ = true;
    retry_.Reset();
    if (delay_ms <= 0) {
        OnLoginUser();
        return;
    }
    login_btn_->setText(QStringLiteral("稍后自动登录，点击立即登录"));
    retry_timer_->start(delay_ms);
}

void Login::WaitForServer() {
    const int delay = retry_.Next();
    qDebug().noquote()
        << QStringLiteral("Login: no answer from the server, again in %1 ms").arg(delay);
    login_btn_->setEnabled(true);
    login_btn_->setText(QStringLiteral("正在等待服务器，点击立即重试"));
    retry_timer_->start(delay);
}

void Login::OnLoginReply(bool ok, const QByteArray& data, const QString& status) {
    qDebug().noquote().nospace() << "LoginUser: data: "
                                 << LogText::Redacted(QString::fromUtf8(data));
    const LoginReply reply = ok ? LoginReply::Parse(data) : LoginReply();
    if (auto_retry_ && reply.kind == LoginReply::Kind::kUnreadable) {
        WaitForServer();
        return;
    }
    const LoginButtonGuard guard(login_btn_);
    if (!ok) {
        const QString reason = http_->LastError().isEmpty() ? status : http_->LastError();
        QMessageBox::information(this, QStringLiteral("提示"),
                                 QStringLiteral("登录失败: %1").arg(reason));
        qDebug() << "LoginUser: error";
        return;
    }
    if (reply.kind == LoginReply::Kind::kUnreadable)
        return;
    if (reply.kind == LoginReply::Kind::kRefused) {
        auto_retry_ = false;
        QMessageBox::information(this, QStringLiteral("提示"),
                                 QStringLiteral("登录失败: %1").arg(reply.error_message));
        return;
    }
    const QString user = usr_name_edit_->text();
    AccountMap& account = Account::GetAccountInfo(user);
    SaveLoginSettings(account);
    for (const QString& key : LoginReply::Keys())
        account[key] = reply.values.value(key);
    Account::SaveAccountInfo(user);
    finished_ = true;
    emit tobe_quit(true, user);
}

void Login::SaveLoginSettings(AccountMap& account) const {
    const QString user = usr_name_edit_->text();
    const bool remember = remember_psw_checkbox_->isChecked();
    // Before the first save the map may still hold the previous user's units.
    const bool own_history =
        Account::HasAccountConfig(user) && account.contains(QStringLiteral("unit_history"));
    const QString history_text =
        own_history ? account.value(QStringLiteral("unit_history")) : QString();
    account[QStringLiteral("usr_id")] = user;
    account[QStringLiteral("usr_psw")] = remember ? psw_edit_->text() : QString();
    account[QStringLiteral("rem_psw")] = remember ? QStringLiteral("1") : QStringLiteral("0");

    QStringList history = history_text.isEmpty()
                              ? QStringList()
                              : history_text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    qDebug() << "cur_history_list " << history;
    const QString current = group_edit_->UnitRecord();
    qDebug().noquote().nospace() << "cur_history" << current;
    if (!history.contains(current)) {
        history.append(current);
        qDebug() << "cur_history_list " << history;
    }
    while (history.size() > 3)
        history.removeFirst();
    qDebug() << "cur_history_list " << history;
    account[QStringLiteral("unit_history")] = history.join(QLatin1Char('|'));
    account[QStringLiteral("cur_unit")] = current;
}

void Login::OnCloseBtn() {
    QApplication::setQuitOnLastWindowClosed(true);
    qDebug() << "close_btn_....tobe_quit....";
    finished_ = true;
    emit tobe_quit(false, usr_name_edit_->text());
    close();
}

void Login::closeEvent(QCloseEvent* event) {
    // Closed from outside (window manager, task bar): the same as the close button.
    if (!finished_)
        OnCloseBtn();
    QWidget::closeEvent(event);
}
