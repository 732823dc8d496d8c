#include "kvplot2d.h"
#include "PlotConfig.h"
#include "PlotWidget.h"

#include <QPointer>

// Deletes the widget unless someone else (a parent it was placed into) did.
struct kvplot2d::Holder
{
    QPointer<PlotWidget> widget;
    ~Holder() { delete widget.data(); }
};

kvplot2d::kvplot2d(unsigned int plotId, int curveCount, QStringList curveNames, QString title, QString ownerText,
                   QString ownerLabel, bool historyMode)
    : pWidget(std::make_shared<Holder>())
{
    PlotConfig config;
    config.plotId = plotId;
    config.curveCount = curveCount;
    config.curveNames = curveNames;
    config.title = title;
    config.ownerText = ownerText;
    config.ownerLabel = ownerLabel;
    config.historyMode = historyMode;
    pWidget->widget = new PlotWidget(config);
}

kvplot2d::kvplot2d(const kvplot2d& other) = default;
kvplot2d& kvplot2d::operator=(const kvplot2d& other) = default;
kvplot2d::~kvplot2d() = default;

void kvplot2d::addDataFrame(const double* values)
{
    // The widget lives as long as this object unless its parent deleted it,
    // which only the GUI thread can do while no frames are added.
    if (PlotWidget* w = pWidget->widget.data())
        w->addDataFrame(values);
}

QWidget* kvplot2d::getPlotWidget()
{
    return pWidget->widget.data();
}

void kvplot2d::setYRange(double min, double max)
{
    if (PlotWidget* w = pWidget->widget.data())
        w->setYRange(min, max);
}
