#include "MsgFileItem.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "ChatView.h"
#include "FileMessage.h"
#include "SaveCopy.h"
#include "engine/AttachmentPaths.h"
#include "platform/FileOpener.h"
#include "widgets/UiFont.h"

namespace {

const int kPadding = 12;
const int kIconSize = 40;
const int kIconGap = 10;
const int kTitleWidth = MsgFileItem::kWidth - 2 * kPadding - kIconSize - kIconGap;
const int kButtonGap = 4;
// The bottom row of the card, and the state text and buttons in it.
const int kErrorWidth = MsgFileItem::kWidth - 2 * kPadding + 4;
const int kStateFontPx = 12;
const int kButtonPadding = 12;

// Button texts, compared to tell which action the second button stands for.
QString OpenText() {
    return QStringLiteral("打开");
}

QString SaveAsText() {
    return QStringLiteral("另存为");
}

const char kTitleTemplate[] =
    "<html><head><style>"
    ".file_title { font-family: '微软雅黑'; font-size: 14px; color: %1; }"
    ".file_size { font-family: '微软雅黑'; font-size: 12px; color: %2; }"
    "</style></head><body><div><span class=\"file_title\">%3</span><br/>"
    "<span class=\"file_size\">(%4KB)</span></div></body></html>";

bool InProgress(const QString& state) {
    return !state.isEmpty() && state != QLatin1String("100") &&
           !state.startsWith(QLatin1String("err:"));
}

bool HasServerCopy(const Attachment& file) {
    return !file.reference.isEmpty() && !file.message_id.isEmpty() &&
           file.message_id != QLatin1String("-1");
}

}  // namespace

MsgFileItem::MsgFileItem(const Bubble& bubble, ChatView* list, QListWidgetItem* row,
                         QWidget* parent)
    : QWidget(parent), list_(list), row_(row), copy_(bubble), own_(FileOf(bubble).sent_by_me) {
    suffix_ = own_ ? QStringLiteral("send") : QStringLiteral("rec");
    BuildUI();
    const FileMessage file = FileMessage::Parse(bubble.content);
    ico_lab_->setStyleSheet(
        QStringLiteral("image: url(:/resource/%1.png);").arg(FileMessage::IconFor(file.name)));
    title_lab_->setText(TitleHtml(file.name, file.size_kb, own_, kTitleWidth));
    title_lab_->setToolTip(file.name);
    Refresh();
}

Attachment MsgFileItem::FileOf(const Bubble& bubble) {
    return Attachment::FromFileContent(bubble.content);
}

QString MsgFileItem::TitleHtml(const QString& name, int size_kb, bool own, int name_width) {
    const QString shown =
        QFontMetrics(UiFont::Font(14)).elidedText(name, Qt::ElideMiddle, name_width);
    return QString::fromUtf8(kTitleTemplate)
        .arg(own ? "#ffffff" : "#333333", own ? "#ffffff" : "#999999", shown.toHtmlEscaped())
        .arg(size_kb);
}

void MsgFileItem::BuildUI() {
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* bg = new QFrame(this);
    bg->setObjectName(QStringLiteral("msg_file_bg_frame_%1").arg(suffix_));
    outer->addWidget(bg);

    ico_lab_ = new QLabel(bg);
    ico_lab_->setObjectName(QStringLiteral("msg_file_ico_lab"));
    ico_lab_->setFixedSize(kIconSize, kIconSize);
    title_lab_ = new QLabel(bg);
    title_lab_->setObjectName(QStringLiteral("msg_file_title_lab_%1").arg(suffix_));
    title_lab_->setTextFormat(Qt::RichText);
    title_lab_->setFixedSize(kTitleWidth, kIconSize + 4);
    auto* top = new QHBoxLayout;
    top->setSpacing(kIconGap);
    top->addWidget(ico_lab_, 0, Qt::AlignVCenter);
    top->addWidget(title_lab_, 1, Qt::AlignVCenter);

    // The divider doubles as the progress bar while a download runs.
    line_ = new QFrame(bg);
    line_->setObjectName(QStringLiteral("msg_file_line_%1").arg(suffix_));
    line_->setFixedHeight(1);
    progress_ = new QProgressBar(bg);
    progress_->setObjectName(QStringLiteral("msg_file_progress_%1").arg(suffix_));
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setFixedHeight(3);
    progress_->hide();

    state_lab_ = new QLabel(bg);
    state_lab_->setObjectName(QStringLiteral("msg_file_state_lab_%1").arg(suffix_));
    state_lab_->setTextFormat(Qt::PlainText);
    download_btn_ = NewButton(QStringLiteral("msg_file_download_btn_%1"), QStringLiteral("下载"));
    save_open_btn_ = NewButton(QStringLiteral("msg_file_save_open_btn_%1"), SaveAsText());
    connect(download_btn_, &QPushButton::clicked, this, &MsgFileItem::OnDownload);
    connect(save_open_btn_, &QPushButton::clicked, this, &MsgFileItem::OnSaveOrOpen);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(kButtonGap);
    bottom->addWidget(state_lab_, 1);
    bottom->addWidget(download_btn_);
    bottom->addWidget(save_open_btn_);

    auto* column = new QVBoxLayout(bg);
    column->setContentsMargins(kPadding, 10, kPadding - 4, 0);
    column->setSpacing(0);
    column->addLayout(top);
    column->addSpacing(8);
    column->addWidget(line_);
    column->addWidget(progress_);
    // The buttons cannot grow: the room under the line is shared above and below them.
    column->addStretch(1);
    column->addLayout(bottom);
    column->addStretch(1);
}

QPushButton* MsgFileItem::NewButton(const QString& name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name.arg(suffix_));
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

Bubble* MsgFileItem::Record() {
    Bubble* record = list_ && row_ ? list_->BubbleAt(list_->row(row_)) : nullptr;
    return record ? record : &copy_;
}

QString MsgFileItem::LocalFile() {
    return AttachmentPaths().Find(FileOf(*Record()));
}

void MsgFileItem::SetSendState(int state) {
    copy_.state = state;
    Refresh();
}

void MsgFileItem::Refresh() {
    const Bubble& record = *Record();
    if (own_)
        ShowOwn(record);
    else
        ShowReceived(record);
    // A button hidden in a list row can otherwise stay on screen until the next repaint.
    update();
}

void MsgFileItem::ShowOwn(const Bubble& record) {
    ShowButtons(false, OpenText());
    const QString& state = record.file_state;
    if (state.startsWith(QLatin1String("err:")))
        ShowError(state);
    else if (InProgress(state))
        ShowState(QStringLiteral("下载中..."), state.toInt());
    // A file is sent once the server took it: not while it travels, nor when refused.
    else if (record.state == -1)
        ShowState(QStringLiteral("发送失败"));
    else if (record.tmp_msg_id != 0 && record.state == Bubble::kNoState)
        ShowState(QStringLiteral("发送中..."));
    else
        ShowState(QStringLiteral("已发送"));
}

void MsgFileItem::ShowReceived(const Bubble& record) {
    const QString& state = record.file_state;
    if (InProgress(state)) {
        ShowButtons(false, SaveAsText());
        ShowState(QStringLiteral("下载中(%1％)").arg(state), state.toInt());
    } else if (!LocalFile().isEmpty()) {
        ShowButtons(false, OpenText());
        ShowState(QStringLiteral("已下载"));
    } else {
        ShowButtons(true, SaveAsText());
        if (state.startsWith(QLatin1String("err:")))
            ShowError(state);
        else
            ShowState(QStringLiteral("未下载"));
    }
}

void MsgFileItem::ShowButtons(bool download, const QString& second) {
    download_btn_->setVisible(download);
    save_open_btn_->setText(second);
}

void MsgFileItem::ShowState(const QString& text, int percent) {
    state_lab_->setText(text);
    state_lab_->setToolTip(QString());
    line_->setVisible(percent < 0);
    progress_->setVisible(percent >= 0);
    progress_->setValue(qMax(percent, 0));
}

void MsgFileItem::ShowError(const QString& value) {
    ShowState(QString());
    const QString text = QStringLiteral("错误:") + value.mid(4);
    // What the buttons beside it leave, measured as styled (message_page.qss), not as they
    // happen to be polished now.
    const QFontMetrics metrics(UiFont::Font(kStateFontPx));
    int width = kErrorWidth;
    for (QPushButton* button : {download_btn_, save_open_btn_}) {
        if (!button->isHidden())
            width -= metrics.horizontalAdvance(button->text()) + kButtonPadding + kButtonGap;
    }
    state_lab_->setText(metrics.elidedText(text, Qt::ElideMiddle, qMax(width, 40)));
    state_lab_->setToolTip(text);
}

void MsgFileItem::OnDownload() {
    Bubble* record = Record();
    const Attachment file = FileOf(*record);
    if (own_ || InProgress(record->file_state))
        return;
    if (!HasServerCopy(file)) {
        record->file_state = QStringLiteral("err: 文件信息不完整");
        Refresh();
        return;
    }
    record->file_state = QStringLiteral("0");
    list_->FollowFileDownload(file.message_id);
    emit list_->download_resource(2, file.RequestText());
    Refresh();
}

void MsgFileItem::OnSaveOrOpen() {
    if (save_open_btn_->text() == OpenText())
        Open();
    else
        SaveAs();
}

void MsgFileItem::Open() {
    Bubble* record = Record();
    const Attachment file = FileOf(*record);
    const QString path = AttachmentPaths().Find(file);
    // One's own file sent from another device is not here: the server has it.
    if (path.isEmpty() && own_ && HasServerCopy(file)) {
        FetchOwn(record, file);
        return;
    }
    switch (FileOpener::Open(path)) {
        case FileOpener::Result::kMissing:
            Tell(QStringLiteral("文件不存在"));
            break;
        case FileOpener::Result::kRefused:
            Tell(QStringLiteral("没有可以打开该文件的程序"));
            break;
        default:
            break;
    }
}

void MsgFileItem::FetchOwn(Bubble* record, const Attachment& file) {
    if (InProgress(record->file_state))
        return;
    record->file_state = QStringLiteral("0");
    list_->FollowFileDownload(file.message_id);
    emit list_->download_and_open_resource_send_by_myself(2, file.RequestText());
    Refresh();
}

void MsgFileItem::SaveAs() {
    const QPointer<MsgFileItem> self(this);
    const QString target = SaveCopy::AskTarget(window(), FileOf(*Record()).name);
    // New messages may have taken the widget away while the dialog was open.
    if (!self || target.isEmpty())
        return;
    const QString here = LocalFile();
    if (!here.isEmpty()) {
        if (!SaveCopy::Copy(here, target))
            Tell(QStringLiteral("文件保存失败：%1").arg(target));
        return;
    }
    Record()->save_as = target;
    if (InProgress(Record()->file_state))
        return;
    download_btn_->show();
    download_btn_->animateClick(100);
}

void MsgFileItem::ShowInFolder() {
    const QString here = LocalFile();
    if (here.isEmpty())
        Tell(QStringLiteral("文件不存在"));
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(here).absolutePath()));
}

void MsgFileItem::Apply(Bubble* bubble, const QString& value) {
    bubble->file_state = value;
    if (value != QLatin1String("100") || bubble->save_as.isEmpty())
        return;
    const QString target = bubble->save_as;
    bubble->save_as.clear();
    if (SaveCopy::Copy(AttachmentPaths().Find(FileOf(*bubble)), target))
        return;
    // Told once; the user may choose another place.
    QTimer::singleShot(0, qApp, [target] {
        QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("提示"),
                             QStringLiteral("文件保存失败：%1").arg(target));
    });
}

void MsgFileItem::Tell(const QString& text) {
    QMessageBox::information(window(), QStringLiteral("提示"), text);
}

void MsgFileItem::OnPrimary() {
    if (save_open_btn_->text() == OpenText())
        Open();
    else if (!download_btn_->isHidden())
        OnDownload();
}

void MsgFileItem::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
        OnPrimary();
}

void MsgFileItem::contextMenuEvent(QContextMenuEvent* event) {
    const bool here = !LocalFile().isEmpty();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("item_menu"));
    QAction* open = menu.addAction(OpenText());
    QAction* download = menu.addAction(QStringLiteral("下载"));
    QAction* save = menu.addAction(SaveAsText());
    QAction* folder = menu.addAction(QStringLiteral("在文件夹中显示"));
    download->setVisible(!here && !own_);
    download->setEnabled(!InProgress(Record()->file_state));
    open->setVisible(here || own_);
    folder->setEnabled(here);
    save->setEnabled(here || !own_);
    const QPointer<MsgFileItem> self(this);
    QAction* chosen = menu.exec(event->globalPos());
    if (!self || !chosen)
        return;
    if (chosen == open)
        Open();
    else if (chosen == download)
        OnDownload();
    else if (chosen == save)
        SaveAs();
    else if (chosen == folder)
        ShowInFolder();
}
