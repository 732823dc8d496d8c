#include "TabExtendDataWidget.h"
#include "PageStyle.h"
#include "ui_TabExtendDataWidget.h"

TabExtendDataWidget::TabExtendDataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::TabExtendDataWidget)
{
    ui->setupUi(this);
    setStyleSheet(QString::fromLatin1(pagePlotStyle()));
    hostPressure.setContainer(ui->widgetPressure);
    hostAltitude.setContainer(ui->widgetAltitude);
    hostTemperature.setContainer(ui->widgetTemperature);
}

TabExtendDataWidget::~TabExtendDataWidget() = default;

void TabExtendDataWidget::clearPlots()
{
    hostPressure.clear();
    hostAltitude.clear();
    hostTemperature.clear();
}
