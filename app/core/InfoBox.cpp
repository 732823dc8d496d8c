#include "InfoBox.h"

#include <QMessageBox>
#include <QPushButton>

void showInfoBox(const QString& text, const QString& styleSheet)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8("提示："), text);
    QPushButton* ok = box.addButton(QString::fromUtf8("确 定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    if (!styleSheet.isEmpty())
        box.setStyleSheet(styleSheet);
    box.setWindowFlags(box.windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}
