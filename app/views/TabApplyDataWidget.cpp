#include "TabApplyDataWidget.h"
#include "DataFormat.h"
#include "PageStyle.h"
#include "ui_TabApplyDataWidget.h"

#include <QEvent>

TabApplyDataWidget::TabApplyDataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::TabApplyDataWidget)
{
    ui->setupUi(this);
    setStyleSheet(QString::fromLatin1(pagePlotStyle()));
    makeGroupBoxesOpaque(this);
    hostQuat.setContainer(ui->widgetQuat);
    hostEuler.setContainer(ui->widgetAngle);
    hostLAccel.setContainer(ui->widgetlinearAcceleration);
    QLineEdit* f[7] = {ui->lineEdit_QuatW, ui->lineEdit_QuatX,  ui->lineEdit_QuatY, ui->lineEdit_QuatZ,
                       ui->lineEdit_EulerX, ui->lineEdit_EulerY, ui->lineEdit_EulerZ};
    std::copy(f, f + 7, fields);
}

TabApplyDataWidget::~TabApplyDataWidget() = default;

void TabApplyDataWidget::clearPlots()
{
    hostQuat.clear();
    hostEuler.clear();
    hostLAccel.clear();
}

void TabApplyDataWidget::updateValues(const double v[7])
{
    for (int i = 0; i < 7; ++i)
        fields[i]->setText(formatValue(v[i]));
}

void TabApplyDataWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QWidget::changeEvent(event);
}
