#include "DockDebugInfo.h"
#include "ui_DockDebugInfo.h"

#include <QEvent>
#include <QTextCursor>

DockDebugInfo::DockDebugInfo(QWidget* parent)
    : QDockWidget(parent)
    , ui(new Ui::DockDebugInfo)
{
    ui->setupUi(this);
}

DockDebugInfo::~DockDebugInfo() = default;

QString DockDebugInfo::text() const
{
    return ui->plainTextEdit->toPlainText();
}

void DockDebugInfo::slotAddDebugInfo(QStringList listDebug, bool isClear)
{
    // An unchanged log leaves the text and its scroll position alone.
    if (listDebug == listShown)
        return;
    listShown = listDebug;
    if (isClear)
        ui->plainTextEdit->clear();
    QTextCursor cursor = ui->plainTextEdit->textCursor();
    for (const QString& line : listDebug) {
        cursor.insertText(line);
        cursor.insertBlock();
    }
    cursor.movePosition(QTextCursor::End);
    ui->plainTextEdit->setTextCursor(cursor);
}

void DockDebugInfo::closeEvent(QCloseEvent* event)
{
    emit sigCloseWindow();
    QDockWidget::closeEvent(event);
}

void DockDebugInfo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDockWidget::changeEvent(event);
}
