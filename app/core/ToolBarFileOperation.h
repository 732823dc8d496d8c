#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QToolBar>

class QAction;
class QComboBox;

// The file toolbar: start and stop a recording and choose its directory.
class ToolBarFileOperation : public QObject
{
    Q_OBJECT
public:
    // savePath: the configured directory, or empty for the default.
    ToolBarFileOperation(const QString& savePath, QObject* parent = nullptr);
    ~ToolBarFileOperation() override;

    QToolBar* getToolBar() const { return toolBar; }
    QAction* exportAction() const { return actExport; }
    QComboBox* pathCombo() const { return comboPath; }
    bool isExporting() const { return bExporting; }

protected:
    // A language change reaches this object as a child of the main window.
    bool event(QEvent* event) override;

signals:
    void sigSaveDataToFile(int bSave, QString strDirPath);
    // The user chose a directory; the owner stores it as "savepath".
    void sigPathChosen(QString path);

public slots:
    void ExportAction();
    void ExportPathSelect();
    void SetExportIcon(int bEnableExport);

private:
    void setTexts();

    // The main window owns the toolbar once it is added; it may go first.
    QPointer<QToolBar> toolBar;
    QAction* actExport;
    QAction* actLabel;
    QComboBox* comboPath;
    QAction* actPath;
    bool bExporting = false;
    QIcon iconEnable;
    QIcon iconStop;
    int bExportAllowed = 0;
};
