#include "InfoBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

void showInfoBox(const QString& text, const QString& styleSheet)
{
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("InfoBox", "提示："), text);
    QPushButton* ok = box.addButton(QCoreApplication::translate("InfoBox", "确 定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    if (!styleSheet.isEmpty())
        box.setStyleSheet(styleSheet);
    box.setWindowFlags(box.windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}
