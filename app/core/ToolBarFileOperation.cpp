#include "ToolBarFileOperation.h"
#include "InfoBox.h"
#include "WindowsPathIcon.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QUrl>

ToolBarFileOperation::ToolBarFileOperation(const QString& savePath, QObject* parent)
    : QObject(parent)
    , iconEnable(iconFromWindowsPath(".\\Resources\\Images\\FileExportEnable.png"))
    , iconStop(iconFromWindowsPath(".\\Resources\\Images\\FileExportStop.png"))
{
    toolBar = new QToolBar(QString::fromUtf8("文件管理工具"));
    toolBar->setIconSize(QSize(24, 24));
    actExport = new QAction(iconEnable, QString::fromUtf8("导出"));
    actExport->setEnabled(false);
    actLabel = new QAction(QString::fromUtf8("当前选择路径："));
    comboPath = new QComboBox;
    comboPath->setEditable(true);
    comboPath->setFixedSize(400, 24);
    comboPath->addItem(savePath.isEmpty() ? QCoreApplication::applicationDirPath() + "/ExportData" : savePath);
    actPath = new QAction(iconFromWindowsPath(".\\Resources\\Images\\FileExportPath.png"), QString::fromUtf8("浏览"));
    toolBar->addAction(actExport);
    toolBar->addAction(actLabel);
    toolBar->addWidget(comboPath);
    toolBar->addAction(actPath);
    connect(actExport, &QAction::triggered, this, &ToolBarFileOperation::ExportAction);
    connect(actPath, &QAction::triggered, this, &ToolBarFileOperation::ExportPathSelect);
}

ToolBarFileOperation::~ToolBarFileOperation()
{
    delete actExport;
    delete actLabel;
    delete actPath;
    delete toolBar.data();
}

void ToolBarFileOperation::ExportAction()
{
    if (bExporting) {
        bExporting = false;
        emit sigSaveDataToFile(false, QString());
        actExport->setIcon(iconEnable);
        actExport->setEnabled(bExportAllowed != 0);
        return;
    }
    const QString dir = comboPath->currentText();
    // An empty text is no directory (QDir would take it for the current one).
    if (dir.trimmed().isEmpty() || (!QDir(dir).exists() && !QDir().mkpath(dir))) {
        showInfoBox(QString::fromUtf8("文件路径不正确，请重新选择!"), QStringLiteral("QPushButton { width:40px; height:20px; }"));
        return;
    }
    bExporting = true;
    emit sigSaveDataToFile(true, dir);
    actExport->setIcon(iconStop);
    actExport->setEnabled(true);
}

void ToolBarFileOperation::ExportPathSelect()
{
    const QUrl url = QFileDialog::getExistingDirectoryUrl(nullptr, QString::fromUtf8("选择路径："),
                                                          QUrl::fromLocalFile(comboPath->currentText()),
                                                          QFileDialog::ShowDirsOnly);
    if (!url.isValid())
        return;
    const QString path = url.toLocalFile();
    comboPath->addItem(path);
    comboPath->setCurrentText(path);
    emit sigPathChosen(path);
}

void ToolBarFileOperation::SetExportIcon(int bEnableExport)
{
    bExportAllowed = bEnableExport;
    if (bExporting) {
        actExport->setIcon(iconStop);
        actExport->setEnabled(true);
    } else {
        actExport->setIcon(iconEnable);
        actExport->setEnabled(bEnableExport != 0);
    }
}
