#include "TodoItem.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ElidedLabel.h"
#include "widgets/UiFont.h"

namespace {

const int kCountWidth = 59;

QString Field(const QJsonObject& plan, const char* key) {
    return plan.value(QLatin1String(key)).toVariant().toString();
}

QLabel* Label(const QString& text, const char* name, QWidget* parent, int px) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(UiFont::Font(px));
    return label;
}

// The short tag that tells the three kinds apart.
QLabel* KindTag(TodoItem::Kind kind, QWidget* parent) {
    static const char* const kTexts[] = {"待办", "审核", "收集"};
    QLabel* tag = Label(QString::fromUtf8(kTexts[kind]), "todo_kind_lab", parent, 11);
    tag->setProperty("kind", static_cast<int>(kind));
    tag->setAlignment(Qt::AlignCenter);
    tag->setFixedSize(30, 16);
    return tag;
}

}  // namespace

TodoItem::TodoItem(Kind kind, const QJsonObject& plan, QWidget* parent)
    : QFrame(parent), kind_(kind) {
    setObjectName(QStringLiteral("todo_item"));
    setFixedSize(kWidth, kHeight);
    if (kind == kApplying)
        BuildApplying(plan);
    else
        BuildPlan(plan);
}

// Name (with the unread dot and the state), then the deadline.
void TodoItem::BuildPlan(const QJsonObject& plan) {
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    if (kind_ == kHandle && Field(plan, "ReadTime").isEmpty()) {
        auto* dot = new QLabel(this);
        dot->setObjectName(QStringLiteral("todo_red_point"));
        dot->setFixedSize(6, 6);
        dot->setToolTip(QStringLiteral("未读"));
        top->addWidget(dot, 0, Qt::AlignVCenter);
    }
    auto* name = new ElidedLabel(Field(plan, "Work"), this);
    name->setObjectName(QStringLiteral("todo_name"));
    name->setFont(UiFont::Font(13));
    top->addWidget(name, 1);
    if (Field(plan, "PlanEdiStatus") == QLatin1String("0"))
        top->addWidget(Label(QStringLiteral("[去确认]"), "todo_state", this, 12));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(KindTag(kind_, this));
    bottom->addSpacing(6);
    bottom->addWidget(
        Label(QStringLiteral("截止时间：%1").arg(Field(plan, "EndDate")), "todo_endtime", this, 12),
        1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 9, 14, 9);
    column->setSpacing(6);
    column->addLayout(top);
    column->addLayout(bottom);
}

// Name, then how many have and have not handed in.
void TodoItem::BuildApplying(const QJsonObject& plan) {
    auto* name = new ElidedLabel(Field(plan, "Work"), this);
    name->setObjectName(QStringLiteral("todo_name"));
    name->setFont(UiFont::Font(13));

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(KindTag(kind_, this));
    bottom->addSpacing(6);
    const struct {
        const char* name;
        const char* format;
        const char* key;
    } counts[] = {{"todo_count_o", "%1人已完成", "Count_0"},
                  {"todo_count_z", "%1人未完成", "Count_1"}};
    for (const auto& c : counts) {
        QLabel* label =
            Label(QString::fromUtf8(c.format).arg(Field(plan, c.key)), c.name, this, 12);
        label->setMinimumWidth(kCountWidth);
        bottom->addWidget(label);
    }
    bottom->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 9, 14, 9);
    column->setSpacing(6);
    column->addWidget(name);
    column->addLayout(bottom);
}
