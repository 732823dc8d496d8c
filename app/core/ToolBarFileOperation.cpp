#include "ToolBarFileOperation.h"
#include "InfoBox.h"
#include "WindowsPathIcon.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QUrl>

ToolBarFileOperation::ToolBarFileOperation(const QString& savePath, QObject* parent)
    : QObject(parent)
    , iconEnable(iconFromWindowsPath(".\\Resources\\Images\\FileExportEnable.png"))
    , iconStop(iconFromWindowsPath(".\\Resources\\Images\\FileExportStop.png"))
{
    toolBar = new QToolBar;
    toolBar->setIconSize(QSize(24, 24));
    actExport = new QAction(iconEnable, QString());
    actExport->setEnabled(false);
    actLabel = new QAction;
    comboPath = new QComboBox;
    comboPath->setEditable(true);
    comboPath->setFixedSize(400, 24);
    comboPath->addItem(savePath.isEmpty() ? QCoreApplication::applicationDirPath() + "/ExportData" : savePath);
    actPath = new QAction(iconFromWindowsPath(".\\Resources\\Images\\FileExportPath.png"), QString());
    setTexts();
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

void ToolBarFileOperation::setTexts()
{
    toolBar->setWindowTitle(tr("文件管理工具"));
    actExport->setText(tr("导出"));
    actExport->setToolTip(bExporting ? tr("停止导出") : tr("导出：把勾选的设备记录到所选目录"));
    actLabel->setText(tr("当前选择路径："));
    actPath->setText(tr("浏览"));
    actPath->setToolTip(tr("浏览：选择导出目录"));
}

bool ToolBarFileOperation::event(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange && toolBar)
        setTexts();
    return QObject::event(event);
}

void ToolBarFileOperation::ExportAction()
{
    if (bExporting) {
        bExporting = false;
        setTexts();
        emit sigSaveDataToFile(false, QString());
        actExport->setIcon(iconEnable);
        actExport->setEnabled(bExportAllowed != 0);
        return;
    }
    const QString dir = comboPath->currentText();
    // An empty text is no directory (QDir would take it for the current one).
    if (dir.trimmed().isEmpty() || (!QDir(dir).exists() && !QDir().mkpath(dir))) {
        showInfoBox(tr("文件路径不正确，请重新选择!"), QStringLiteral("QPushButton { width:40px; height:20px; }"));
        return;
    }
    bExporting = true;
    setTexts();
    emit sigSaveDataToFile(true, dir);
    actExport->setIcon(iconStop);
    actExport->setEnabled(true);
}

void ToolBarFileOperation::ExportPathSelect()
{
    const QUrl url = QFileDialog::getExistingDirectoryUrl(nullptr, tr("选择路径："),
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
