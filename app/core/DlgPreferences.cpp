#include "DlgPreferences.h"
#include "RecordFormat.h"
#include "InfoBox.h"
#include "LanguageSwitcher.h"
#include "StreamSettingsPage.h"
#include "ui_DlgPreferences.h"

#include <QEvent>
#include <QTabBar>

namespace {
const char* kEditOff = "background-color: rgb(240,240,240);border:1px groove gray;border-radius:3px;padding:2px 4px;";
const char* kEditOn = "background-color: rgb(255,255,255);border:1px groove gray;border-radius:3px;padding:2px 4px;";
} // namespace

DlgPreferences::DlgPreferences(LanguageSwitcher* language, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgPreferences)
    , pLanguage(language)
{
    ui->setupUi(this);
    ui->tabWidget_Seeting_2->tabBar()->hide();
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Only "0" or a custom placeholder may be chosen.
    ui->checkBox_placeholder_NaN->hide();
    ui->checkBox_placeholder_space->hide();
    separators = {ui->checkBox_separate_tab, ui->checkBox_separate_semicolon, ui->checkBox_separate_comma,
                  ui->checkBox_separate_space, ui->checkBox_separate_other};
    placeholders = {ui->checkBox_placeholder_NaN, ui->checkBox_placeholder_space, ui->checkBox_placeholder_Zero,
                    ui->checkBox_placeholder_other};

    treeBasic = new QTreeWidgetItem(ui->treeWidget_SelectTab_2);
    treeBasic->setData(0, Qt::UserRole + 1, QVariant::fromValue<void*>(ui->SeetingTab_Basic_2));
    treeExport = new QTreeWidgetItem(ui->treeWidget_SelectTab_2);
    treeExportFile = new QTreeWidgetItem(treeExport);
    const QVariant page = QVariant::fromValue<void*>(ui->SeetingTab_Export_2);
    treeExport->setData(0, Qt::UserRole + 1, page);
    treeExportFile->setData(0, Qt::UserRole + 1, page);
    addStreamPage();
    ui->treeWidget_SelectTab_2->expandAll();
    setTreeTexts();
    const char* languages[] = {"auto", LanguageSwitcher::kChinese, LanguageSwitcher::kEnglish};
    for (int i = 0; i < 3; ++i)
        ui->comboBox_language->setItemData(i, QString::fromLatin1(languages[i]));

    connect(ui->treeWidget_SelectTab_2, &QTreeWidget::itemClicked, this, &DlgPreferences::ItemOption);
    connect(ui->comboBox_language, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgPreferences::onLanguageChosen);
    connect(ui->pushButton_OK_2, &QPushButton::clicked, this, &DlgPreferences::checkIsAccept);
    connect(ui->pushButton_Cancel_2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->edit_file_name, &QLineEdit::editingFinished, this, &DlgPreferences::ExportFile_editFileName);
    connect(ui->edit_file_suffix, &QLineEdit::editingFinished, this, &DlgPreferences::ExportFile_editFileSuffix);
    connect(ui->checkBox_separate_tab, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_sep_check_tab);
    connect(ui->checkBox_separate_semicolon, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_sep_check_sem);
    connect(ui->checkBox_separate_comma, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_sep_check_com);
    connect(ui->checkBox_separate_space, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_sep_check_space);
    connect(ui->checkBox_separate_other, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_sep_check_other);
    connect(ui->edit_separate_other, &QLineEdit::textChanged, this, &DlgPreferences::ExportFile_sep_edit_other);
    connect(ui->checkBox_placeholder_NaN, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_plh_check_NaN);
    connect(ui->checkBox_placeholder_space, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_plh_check_space);
    connect(ui->checkBox_placeholder_Zero, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_plh_check_zero);
    connect(ui->checkBox_placeholder_other, &QCheckBox::clicked, this, &DlgPreferences::ExportFile_plh_check_other);
    connect(ui->edit_placeholder_other, &QLineEdit::textChanged, this, &DlgPreferences::ExportFile_plh_edit_other);
    connect(ui->checkBox_sensordata_quat, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_quat);
    connect(ui->checkBox_sensordata_euler, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_euler);
    connect(ui->checkBox_sensordata_gyro, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_gyro);
    connect(ui->checkBox_sensordata_accel, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_accel);
    connect(ui->checkBox_sensordata_position, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_pos);
    connect(ui->checkBox_sensordata_mag, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_mag);
    connect(ui->checkBox_sensordata_temperature, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_tem);
    connect(ui->checkBox_sensordata_barometer, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_sed_check_bar);
    connect(ui->checkBox_datetimedata_packcount, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_dtd_check_pack);
    connect(ui->checkBox_datetimedata_datetime, &QCheckBox::stateChanged, this, &DlgPreferences::ExportFile_dtd_check_date);
}

DlgPreferences::~DlgPreferences() = default;

void DlgPreferences::setTreeTexts()
{
    treeBasic->setText(0, tr("基础配置"));
    treeExport->setText(0, tr("导出"));
    treeExportFile->setText(0, tr("导出文件"));
    treeStream->setText(0, tr("流数据"));
    ui->tabWidget_Seeting_2->setTabText(ui->tabWidget_Seeting_2->indexOf(pStreamPage), tr("流数据"));
}

void DlgPreferences::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setTreeTexts();
    }
    QDialog::changeEvent(event);
}

void DlgPreferences::onLanguageChosen(int index)
{
    strLanguage = ui->comboBox_language->itemData(index).toString();
    if (pLanguage)
        pLanguage->apply(strLanguage);
}

void DlgPreferences::reject()
{
    // Cancelling takes back a language tried out here.
    if (pLanguage && strLanguage != strInitialLanguage)
        pLanguage->apply(strInitialLanguage);
    strLanguage = strInitialLanguage;
    QDialog::reject();
}

void DlgPreferences::initFromSettings()
{
    strInitialLanguage = strLanguage;
    {
        const int index = ui->comboBox_language->findData(strLanguage);
        // Anything but the two languages is "auto".
        const QSignalBlocker quiet(ui->comboBox_language);
        ui->comboBox_language->setCurrentIndex(index < 0 ? 0 : index);
    }
    ui->edit_file_name->setText(stcSettings.filename);
    ui->edit_file_suffix->setText(stcSettings.filesuffix);
    const QString sep = stcSettings.separate;
    if (sep == "\t")
        ExportFile_sep_check_tab();
    else if (sep == ";")
        ExportFile_sep_check_sem();
    else if (sep == ",")
        ExportFile_sep_check_com();
    else if (sep == " ")
        ExportFile_sep_check_space();
    else {
        ExportFile_sep_check_other();
        ui->edit_separate_other->setText(sep);
    }
    const QString plh = stcSettings.placeholder;
    if (plh == "NaN")
        ExportFile_plh_check_NaN();
    else if (plh == " ")
        ExportFile_plh_check_space();
    else if (plh == "0")
        ExportFile_plh_check_zero();
    else {
        ExportFile_plh_check_other();
        ui->edit_placeholder_other->setText(plh);
    }
    ui->checkBox_sensordata_quat->setChecked(stcSettings.quat != 0);
    ui->checkBox_sensordata_euler->setChecked(stcSettings.euler != 0);
    ui->checkBox_sensordata_gyro->setChecked(stcSettings.gyro != 0);
    ui->checkBox_sensordata_accel->setChecked(stcSettings.accel != 0);
    ui->checkBox_sensordata_position->setChecked(stcSettings.position != 0);
    ui->checkBox_sensordata_mag->setChecked(stcSettings.mag != 0);
    ui->checkBox_sensordata_temperature->setChecked(stcSettings.temperature != 0);
    ui->checkBox_sensordata_barometer->setChecked(stcSettings.barometer != 0);
    ui->checkBox_datetimedata_packcount->setChecked(stcSettings.packcount != 0);
    ui->checkBox_datetimedata_datetime->setChecked(stcSettings.datetime != 0);
}

void DlgPreferences::choose(const QList<QCheckBox*>& group, QCheckBox* chosen, QLineEdit* custom)
{
    for (QCheckBox* box : group)
        box->setChecked(box == chosen);
    const bool isCustom = chosen == group.last();
    custom->setEnabled(isCustom);
    custom->setStyleSheet(QString::fromLatin1(isCustom ? kEditOn : kEditOff));
}

void DlgPreferences::addStreamPage()
{
    pStreamPage = new StreamSettingsPage(ui->tabWidget_Seeting_2);
    ui->tabWidget_Seeting_2->addTab(pStreamPage, QString());
    treeStream = new QTreeWidgetItem(ui->treeWidget_SelectTab_2);
    treeStream->setData(0, Qt::UserRole + 1, QVariant::fromValue<void*>(pStreamPage));
}

void DlgPreferences::setStreamOptions(const stream::StreamOptions& options)
{
    pStreamPage->setOptions(options);
}

stream::StreamOptions DlgPreferences::streamOptions() const
{
    return pStreamPage->options();
}

void DlgPreferences::checkIsAccept()
{
    // Wrong streaming settings: say what is wrong, show the page, stay open.
    const QString streamProblem = pStreamPage->options().validate();
    if (!streamProblem.isEmpty()) {
        ui->tabWidget_Seeting_2->setCurrentWidget(pStreamPage);
        showInfoBox(streamProblem);
        return;
    }
    if (stcSettings.separate == stcSettings.placeholder) {
        showInfoBox(tr("分隔符 与 占位符 不能相同，请重新设置！"));
        return;
    }
    QString problem = RecordFormat::separatorProblem(stcSettings.separate);
    if (problem.isEmpty())
        problem = RecordFormat::placeholderProblem(stcSettings.placeholder, stcSettings.separate);
    if (!problem.isEmpty()) {
        showInfoBox(problem);
        return;
    }
    accept();
}

void DlgPreferences::ItemOption(QTreeWidgetItem* item, int)
{
    if (auto* page = static_cast<QWidget*>(item->data(0, Qt::UserRole + 1).value<void*>()))
        ui->tabWidget_Seeting_2->setCurrentWidget(page);
}

void DlgPreferences::ExportFile_editFileName()
{
    stcSettings.filename = ui->edit_file_name->text().isEmpty() ? QStringLiteral("data") : ui->edit_file_name->text();
}

void DlgPreferences::ExportFile_editFileSuffix()
{
    stcSettings.filesuffix = ui->edit_file_suffix->text().isEmpty() ? QStringLiteral("txt") : ui->edit_file_suffix->text();
}

void DlgPreferences::ExportFile_sep_check_tab()
{
    choose(separators, ui->checkBox_separate_tab, ui->edit_separate_other);
    stcSettings.separate = QStringLiteral("\t");
    update();
}

void DlgPreferences::ExportFile_sep_check_sem()
{
    choose(separators, ui->checkBox_separate_semicolon, ui->edit_separate_other);
    stcSettings.separate = QStringLiteral(";");
    update();
}

void DlgPreferences::ExportFile_sep_check_com()
{
    choose(separators, ui->checkBox_separate_comma, ui->edit_separate_other);
    stcSettings.separate = QStringLiteral(",");
    update();
}

void DlgPreferences::ExportFile_sep_check_space()
{
    choose(separators, ui->checkBox_separate_space, ui->edit_separate_other);
    stcSettings.separate = QStringLiteral(" ");
    update();
}

void DlgPreferences::ExportFile_sep_check_other()
{
    choose(separators, ui->checkBox_separate_other, ui->edit_separate_other);
    stcSettings.separate = ui->edit_separate_other->text();
    update();
}

void DlgPreferences::ExportFile_sep_edit_other(QString text)
{
    stcSettings.separate = text;
}

void DlgPreferences::ExportFile_plh_check_NaN()
{
    choose(placeholders, ui->checkBox_placeholder_NaN, ui->edit_placeholder_other);
    stcSettings.placeholder = QStringLiteral("NaN");
}

void DlgPreferences::ExportFile_plh_check_space()
{
    choose(placeholders, ui->checkBox_placeholder_space, ui->edit_placeholder_other);
    stcSettings.placeholder = QStringLiteral(" ");
}

void DlgPreferences::ExportFile_plh_check_zero()
{
    choose(placeholders, ui->checkBox_placeholder_Zero, ui->edit_placeholder_other);
    stcSettings.placeholder = QStringLiteral("0");
}

void DlgPreferences::ExportFile_plh_check_other()
{
    choose(placeholders, ui->checkBox_placeholder_other, ui->edit_placeholder_other);
    stcSettings.placeholder = ui->edit_placeholder_other->text();
}

void DlgPreferences::ExportFile_plh_edit_other(QString text)
{
    stcSettings.placeholder = text;
}

void DlgPreferences::ExportFile_sed_check_quat(int state) { stcSettings.quat = state; }
void DlgPreferences::ExportFile_sed_check_euler(int state) { stcSettings.euler = state; }
void DlgPreferences::ExportFile_sed_check_gyro(int state) { stcSettings.gyro = state; }
void DlgPreferences::ExportFile_sed_check_accel(int state) { stcSettings.accel = state; }
void DlgPreferences::ExportFile_sed_check_pos(int state) { stcSettings.position = state; }
void DlgPreferences::ExportFile_sed_check_mag(int state) { stcSettings.mag = state; }
void DlgPreferences::ExportFile_sed_check_tem(int state) { stcSettings.temperature = state; }
void DlgPreferences::ExportFile_sed_check_bar(int state) { stcSettings.barometer = state; }
void DlgPreferences::ExportFile_dtd_check_pack(int state) { stcSettings.packcount = state; }
void DlgPreferences::ExportFile_dtd_check_date(int state) { stcSettings.datetime = state; }
