#pragma once

#include "ExportSettings.h"
#include "StreamOptions.h"

#include <QDialog>
#include <memory>

namespace Ui {
class DlgPreferences;
}
class QCheckBox;
class LanguageSwitcher;
class QLineEdit;
class QTreeWidgetItem;
class StreamSettingsPage;

// Edits the interface language and the recording options: file name,
// separator, placeholder and the column groups. A language chosen here is
// in force at once (through language, when given) and taken back by Cancel.
class DlgPreferences : public QDialog
{
    Q_OBJECT
public:
    explicit DlgPreferences(LanguageSwitcher* language = nullptr, QWidget* parent = nullptr);
    ~DlgPreferences() override;

    // Fills the dialog from stcSettings and strLanguage, which the caller
    // set first.
    void initFromSettings();

    ExportSettings stcSettings;
    // The option "language": "auto", "zh_CN" or "en".
    QString strLanguage;

    // The "Streaming" page (StreamSettingsPage).
    void setStreamOptions(const stream::StreamOptions& options);
    stream::StreamOptions streamOptions() const;
    StreamSettingsPage* streamPage() const { return pStreamPage; }

public slots:
    void checkIsAccept();
    void ItemOption(QTreeWidgetItem* item, int column);
    void ExportFile_editFileName();
    void ExportFile_editFileSuffix();
    void ExportFile_sep_check_tab();
    void ExportFile_sep_check_sem();
    void ExportFile_sep_check_com();
    void ExportFile_sep_check_space();
    void ExportFile_sep_check_other();
    void ExportFile_sep_edit_other(QString text);
    void ExportFile_plh_check_NaN();
    void ExportFile_plh_check_space();
    void ExportFile_plh_check_zero();
    void ExportFile_plh_check_other();
    void ExportFile_plh_edit_other(QString text);
    void ExportFile_sed_check_quat(int state);
    void ExportFile_sed_check_euler(int state);
    void ExportFile_sed_check_gyro(int state);
    void ExportFile_sed_check_accel(int state);
    void ExportFile_sed_check_pos(int state);
    void ExportFile_sed_check_mag(int state);
    void ExportFile_sed_check_tem(int state);
    void ExportFile_sed_check_bar(int state);
    void ExportFile_dtd_check_pack(int state);
    void ExportFile_dtd_check_date(int state);
    void onLanguageChosen(int index);
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    // Checks one box of a one-choice group and unchecks the others.
    void choose(const QList<QCheckBox*>& group, QCheckBox* chosen, QLineEdit* custom);
    void setTreeTexts();

    void addStreamPage();
    StreamSettingsPage* pStreamPage = nullptr;
    std::unique_ptr<Ui::DlgPreferences> ui;
    QList<QCheckBox*> separators;
    QList<QCheckBox*> placeholders;
    LanguageSwitcher* pLanguage;
    QString strInitialLanguage;
    QTreeWidgetItem* treeBasic;
    QTreeWidgetItem* treeExport;
    QTreeWidgetItem* treeExportFile;
    QTreeWidgetItem* treeStream;
};
