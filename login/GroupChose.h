#pragma once

#include <QByteArray>
#include <QDialog>
#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The modal unit chooser: province, city and district combos filled from the region tree, the
// units of the chosen district, and the units used before.
class GroupChose : public QDialog {
    Q_OBJECT
public:
    // Receives the chosen unit record, or an empty text when the dialog ends without a choice.
    using Completion = std::function<void(const QString& unit_record)>;

    explicit GroupChose(QWidget* parent = nullptr);
    ~GroupChose() override;

    // Stores the unit records used before and builds the interface.
    void SetHistory(const QStringList& history);
    // Fills the provinces from an "Area_GetXD" reply, runs the dialog modally and reports the
    // outcome through `done`, exactly once.
    void SetRegionData(const QByteArray& data, Completion done);
    // Fills the provinces only; the cascade below them follows.
    void FillProvinces(const QByteArray& data);

    const QStringList& UnitRecords() const { return unit_records_; }

    // Field `index` of a unit record (Unit_ID, UnitName, UnitUrl, UnitUrl2); empty fields count.
    static QString UnitField(const QString& record, int index);

signals:
    void update_group_info(QString district_id);

public slots:
    // Fills the unit list from a "Unit_GetList" reply.
    void on_group_info_active(QByteArray group_infos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupUI();
    void BuildWidgets();
    void BuildHistory(QHBoxLayout* row);
    void LayoutWidgets();
    void ConnectSignals();

    void OnProvinceChanged(int index);
    void OnCityChanged(int index);
    void OnDistrictChanged(int index);
    void OnUnitClicked(QListWidgetItem* item);
    void OnConfirm();
    void Choose(const QString& name);

    void AddCaret(QComboBox* combo);
    static void FillCombo(QComboBox* combo, const QJsonValue& areas);

    QStringList history_;
    QStringList unit_records_;
    QString selected_name_;
    Completion done_;

    QFrame* bg_frame_ = nullptr;
    QLabel* title_lab_ = nullptr;
    QPushButton* close_btn_ = nullptr;
    QLabel* history_lab_ = nullptr;
    QList<QPushButton*> history_btns_;
    QLabel* area_lab_ = nullptr;
    QLabel* province_lab_ = nullptr;
    QComboBox* province_combo_ = nullptr;
    QLabel* city_lab_ = nullptr;
    QComboBox* city_combo_ = nullptr;
    QLabel* district_lab_ = nullptr;
    QComboBox* district_combo_ = nullptr;
    QLabel* group_lab_ = nullptr;
    QListWidget* group_list_wid_ = nullptr;
};
