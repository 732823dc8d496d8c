#include "TabBasicDataWidget.h"
#include "DataFormat.h"
#include "PageStyle.h"
#include "ui_TabBasicDataWidget.h"

#include <QEvent>

TabBasicDataWidget::TabBasicDataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::TabBasicDataWidget)
{
    ui->setupUi(this);
    setStyleSheet(QString::fromLatin1(pagePlotStyle()));
    makeGroupBoxesOpaque(this);
    hostAccel.setContainer(ui->widgetAccel);
    hostGyro.setContainer(ui->widgetGyro);
    hostMag.setContainer(ui->widgetMag);
    QLineEdit* f[9] = {ui->lineEdit_AccelX, ui->lineEdit_AccelY, ui->lineEdit_AccelZ,
                       ui->lineEdit_GyroX,  ui->lineEdit_GyroY,  ui->lineEdit_GyroZ,
                       ui->lineEdit_MagX,   ui->lineEdit_MagY,   ui->lineEdit_MagZ};
    std::copy(f, f + 9, fields);
}

TabBasicDataWidget::~TabBasicDataWidget() = default;

void TabBasicDataWidget::clearPlots()
{
    hostAccel.clear();
    hostGyro.clear();
    hostMag.clear();
}

void TabBasicDataWidget::updateValues(const double v[9])
{
    for (int i = 0; i < 9; ++i)
        fields[i]->setText(formatValue(v[i]));
}

void TabBasicDataWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QWidget::changeEvent(event);
}
