#include "kvplot2d.h"
#include "PlotConfig.h"
#include "PlotData.h"
#include "PlotWidget.h"

#include <QPointer>
#include <mutex>

// The plot's frames from the start, and its widget once someone asks for it:
// the widgets of plots that are never shown are never made. Deletes the
// widget unless someone else (a parent it was placed into) did.
struct kvplot2d::Holder
{
    PlotConfig config;
    std::shared_ptr<PlotData> data;  // null for a configuration that builds no plot
    bool hasYRange = false;
    double yMin = 0;
    double yMax = 0;
    // Guards widget and made against the frame thread's addDataFrame.
    std::mutex mutex;
    QPointer<PlotWidget> widget;
    bool made = false;

    ~Holder() { delete widget.data(); }
};

kvplot2d::kvplot2d(unsigned int plotId, int curveCount, QStringList curveNames, QString title, QString ownerText,
                   QString ownerLabel, bool historyMode)
    : pWidget(std::make_shared<Holder>())
{
    PlotConfig& config = pWidget->config;
    config.plotId = plotId;
    config.curveCount = curveCount;
    config.curveNames = curveNames;
    config.title = title;
    config.ownerText = ownerText;
    config.ownerLabel = ownerLabel;
    config.historyMode = historyMode;
    if (config.isValid())
        pWidget->data = std::make_shared<PlotData>(curveCount);
}

kvplot2d::kvplot2d(const kvplot2d& other) = default;
kvplot2d& kvplot2d::operator=(const kvplot2d& other) = default;
kvplot2d::~kvplot2d() = default;

void kvplot2d::addDataFrame(const double* values)
{
    std::lock_guard<std::mutex> lock(pWidget->mutex);
    // The widget lives as long as this object unless its parent deleted it,
    // which only the GUI thread can do while no frames are added.
    if (PlotWidget* w = pWidget->widget.data()) {
        w->addDataFrame(values);
        return;
    }
    if (pWidget->made || !pWidget->data)
        return;
    // Not shown yet, so neither paused nor scrolled back.
    if (pWidget->config.historyMode)
        pWidget->data->pushWithHistory(values);
    else
        pWidget->data->push(values);
}

QWidget* kvplot2d::getPlotWidget()
{
    Holder& h = *pWidget;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        if (h.made)
            return h.widget.data();
    }
    // Made outside the lock: building the widget takes a while and the frame
    // thread keeps storing into the same data meanwhile.
    auto* w = new PlotWidget(h.config, h.data);
    if (h.hasYRange)
        w->setYRange(h.yMin, h.yMax);
    std::lock_guard<std::mutex> lock(h.mutex);
    h.widget = w;
    h.made = true;
    return w;
}

void kvplot2d::setYRange(double min, double max)
{
    pWidget->hasYRange = true;
    pWidget->yMin = min;
    pWidget->yMax = max;
    std::lock_guard<std::mutex> lock(pWidget->mutex);
    if (PlotWidget* w = pWidget->widget.data())
        w->setYRange(min, max);
}
