#include "GroupChose.h"
#include "widgets/WindowDragger.h"
#include "widgets/WindowStyle.h"

#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "RegionReply.h"

namespace {
const int kShadowMargin = 10;
const int kListHeight = 228;
const int kCaretWidth = 9;
const int kCaretHeight = 5;
}  // namespace

GroupChose::GroupChose(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    new WindowDragger(this);
}

GroupChose::~GroupChose() {
    qDebug() << "GroupChose::~GroupChose";
}

QString GroupChose::UnitField(const QString& record, int index) {
    return record.split(QLatin1Char(','), Qt::KeepEmptyParts).value(index);
}

void GroupChose::SetHistory(const QStringList& history) {
    history_ = history;
    setFixedWidth(455);
    SetupUI();
    BuildWidgets();
    LayoutWidgets();
    ConnectSignals();
}

void GroupChose::SetRegionData(const QByteArray& data, Completion done) {
    FillProvinces(data);
    // Deleted on close, the dialog may be gone before exec() returns: afterwards only locals.
    const auto chosen = std::make_shared<bool>(false);
    done_ = [done, chosen](const QString& record) {
        *chosen = true;
        if (done)
            done(record);
    };
    exec();
    if (!*chosen && done)
        done(QString());
}

void GroupChose::FillProvinces(const QByteArray& data) {
    FillCombo(province_combo_, RegionReply::Provinces(data));
}

void GroupChose::FillCombo(QComboBox* combo, const QJsonValue& areas) {
    for (const QJsonValue& area : RegionReply::Areas(areas)) {
        const QJsonObject object = area.toObject();
        combo->insertItem(combo->count(), object.value(QLatin1String("Name")).toString(),
                          QVariant(object));
    }
}

void GroupChose::on_group_info_active(QByteArray group_infos) {
    group_list_wid_->clear();
    unit_records_.clear();
    selected_name_.clear();
    for (const RegionReply::Unit& unit : RegionReply::Units(group_infos)) {
        group_list_wid_->addItem(unit.name);
        unit_records_.append(unit.record);
    }
}

void GroupChose::OnProvinceChanged(int index) {
    city_combo_->clear();
    if (index >= 0)
        FillCombo(city_combo_,
                  province_combo_->itemData(index).toJsonObject().value(QLatin1String("Area")));
}

void GroupChose::OnCityChanged(int index) {
    district_combo_->clear();
    if (index >= 0)
        FillCombo(district_combo_,
                  city_combo_->itemData(index).toJsonObject().value(QLatin1String("Area")));
}

void GroupChose::OnDistrictChanged(int index) {
    if (index < 0)
        return;
    const QJsonObject district = district_combo_->itemData(index).toJsonObject();
    qDebug().noquote().nospace() << "district: "
                                 << district.value(QLatin1String("Name")).toString();
    emit update_group_info(district.value(QLatin1String("ID")).toString());
}

void GroupChose::OnUnitClicked(QListWidgetItem* item) {
    Choose(item->text());
}

void GroupChose::Choose(const QString& name) {
    selected_name_ = name;
    close_btn_->animateClick(100);
}

void GroupChose::OnConfirm() {
    QString chosen;
    if (!selected_name_.isEmpty()) {
        for (const QString& record : unit_records_) {
            if (record.contains(selected_name_)) {
                chosen = record;
                break;
            }
        }
        // A unit used before keeps the record it was stored with.
        for (const QString& record : history_) {
            if (record.contains(selected_name_)) {
                chosen = record;
                break;
            }
        }
    }
    if (chosen.isEmpty()) {
        reject();
        return;
    }
    if (done_)
        done_(chosen);
    accept();
}

void GroupChose::SetupUI() {
    setWindowTitle(QStringLiteral("选择单位"));
    WindowStyle::Apply(this, QStringLiteral("group_chose"), QStringLiteral(":/ui/group_chose.qss"),
                       "GroupChose::SetupUI : load qss failed");
}

void GroupChose::BuildWidgets() {
    bg_frame_ = new QFrame(this);
    bg_frame_->setObjectName(QStringLiteral("bg_frame"));
    WindowStyle::AddShadow(bg_frame_, kShadowMargin);

    const auto label = [this](const char* name, const QString& text) {
        auto* lab = new QLabel(text, bg_frame_);
        lab->setObjectName(QLatin1String(name));
        return lab;
    };
    const auto combo = [this](const char* name) {
        auto* box = new QComboBox(bg_frame_);
        box->setObjectName(QLatin1String(name));
        box->setCursor(Qt::PointingHandCursor);
        AddCaret(box);
        return box;
    };
    title_lab_ = label("title_lab", QStringLiteral("选择单位"));
    close_btn_ = new QPushButton(bg_frame_);
    close_btn_->setObjectName(QStringLiteral("close_btn"));
    close_btn_->setCursor(Qt::PointingHandCursor);
    close_btn_->setFixedSize(28, 28);
    history_lab_ = label("history_lab", QStringLiteral("历史记录"));
    area_lab_ = label("area_lab", QStringLiteral("所在区域"));
    province_lab_ = label("province_lab", QStringLiteral("省:"));
    province_combo_ = combo("province_combo");
    city_lab_ = label("city_lab", QStringLiteral("市:"));
    city_combo_ = combo("city_combo");
    district_lab_ = label("district_lab", QStringLiteral("县/区:"));
    district_combo_ = combo("district_combo");
    group_lab_ = label("group_lab", QStringLiteral("单位"));
    group_list_wid_ = new QListWidget(bg_frame_);
    group_list_wid_->setObjectName(QStringLiteral("group_list_wid"));
    group_list_wid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    group_list_wid_->setFixedHeight(kListHeight);
    group_list_wid_->setCursor(Qt::PointingHandCursor);
    group_list_wid_->setFocusPolicy(Qt::NoFocus);
}

void GroupChose::AddCaret(QComboBox* combo) {
    // Drawn here rather than by the style sheet: its drop-down arrow needs an image file.
    const qreal ratio = devicePixelRatioF();
    QPixmap caret(QSize(kCaretWidth, kCaretHeight) * ratio);
    caret.setDevicePixelRatio(ratio);
    caret.fill(Qt::transparent);
    QPainter painter(&caret);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#909399")));
    painter.drawPolygon(QPolygonF(
        {QPointF(0, 0), QPointF(kCaretWidth, 0), QPointF(kCaretWidth / 2.0, kCaretHeight)}));
    auto* lab = new QLabel(combo);
    lab->setObjectName(QStringLiteral("caret_lab"));
    lab->setPixmap(caret);
    lab->setFixedSize(kCaretWidth, kCaretHeight);
    lab->setAttribute(Qt::WA_TransparentForMouseEvents);
    combo->installEventFilter(this);
}

bool GroupChose::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        auto* combo = qobject_cast<QComboBox*>(watched);
        auto* caret = combo ? combo->findChild<QLabel*>(QStringLiteral("caret_lab")) : nullptr;
        if (caret)
            caret->move(combo->width() - kCaretWidth - 9, (combo->height() - kCaretHeight) / 2);
    }
    return QDialog::eventFilter(watched, event);
}

void GroupChose::BuildHistory(QHBoxLayout* row) {
    for (const QString& record : history_) {
        const QString name = UnitField(record, 1);
        if (name.isEmpty())
            continue;
        // Three long names must still fit the fixed width.
        const QString shown = name.size() > 8 ? name.left(7) + QStringLiteral("…") : name;
        auto* btn = new QPushButton(shown, bg_frame_);
        btn->setObjectName(QStringLiteral("history_btn"));
        btn->setCursor(Qt::PointingHandCursor);
        btn->setToolTip(name);
        connect(btn, &QPushButton::clicked, this, [this, name] { Choose(name); });
        history_btns_.append(btn);
        row->addWidget(btn);
    }
    if (history_btns_.isEmpty()) {
        auto* none = new QLabel(QStringLiteral("暂无"), bg_frame_);
        none->setObjectName(QStringLiteral("history_none_lab"));
        row->addWidget(none);
    }
    row->addStretch();
}

void GroupChose::LayoutWidgets() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin);
    outer->addWidget(bg_frame_);

    auto* title = new QHBoxLayout;
    title->setContentsMargins(20, 0, 8, 0);
    title->addWidget(title_lab_);
    title->addStretch();
    title->addWidget(close_btn_);
    title_lab_->setFixedHeight(48);

    auto* history = new QHBoxLayout;
    history->setSpacing(8);
    BuildHistory(history);

    auto* area = new QHBoxLayout;
    area->setSpacing(6);
    for (auto pair :
         {std::make_pair(province_lab_, province_combo_), std::make_pair(city_lab_, city_combo_),
          std::make_pair(district_lab_, district_combo_)}) {
        area->addWidget(pair.first);
        area->addWidget(pair.second, 1);
    }

    auto* body = new QVBoxLayout;
    body->setContentsMargins(20, 4, 20, 20);
    body->setSpacing(10);
    body->addWidget(history_lab_);
    body->addLayout(history);
    body->addSpacing(4);
    body->addWidget(area_lab_);
    body->addLayout(area);
    body->addSpacing(4);
    body->addWidget(group_lab_);
    body->addWidget(group_list_wid_);

    auto* column = new QVBoxLayout(bg_frame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(title);
    auto* line = new QFrame(bg_frame_);
    line->setObjectName(QStringLiteral("title_line"));
    line->setFixedHeight(1);
    column->addWidget(line);
    column->addLayout(body);
}

void GroupChose::ConnectSignals() {
    connect(province_combo_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GroupChose::OnProvinceChanged);
    connect(city_combo_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GroupChose::OnCityChanged);
    connect(district_combo_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GroupChose::OnDistrictChanged);
    connect(group_list_wid_, &QListWidget::itemClicked, this, &GroupChose::OnUnitClicked);
    connect(close_btn_, &QPushButton::clicked, this, &GroupChose::OnConfirm);
}
