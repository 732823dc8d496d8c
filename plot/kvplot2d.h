#pragma once

#include "kvplot2dGlobal.h"

#include <QString>
#include <QStringList>
#include <memory>

class PlotWidget;
class QWidget;

// A scrolling plot of one to four curves over the last 1000 samples, with a
// legend that switches curves on and off, a header line and a play/stop
// button; in history mode every frame is kept and a slider scrolls back.
//
// Copies share one widget; the last copy destroyed deletes it. A client may
// place getPlotWidget() in its own layout, but must not let that layout or
// its parent delete the widget while a kvplot2d still refers to it (should it
// happen anyway, the kvplot2d notices and does not delete it again).
//
// addDataFrame may be called from one thread other than the GUI thread while
// the GUI thread redraws; everything else belongs to the GUI thread.
class KVPLOT2D_EXPORT kvplot2d
{
public:
    kvplot2d(unsigned int plotId, int curveCount, QStringList curveNames, QString title, QString ownerText,
             QString ownerLabel, bool historyMode);
    kvplot2d(const kvplot2d& other);
    kvplot2d& operator=(const kvplot2d& other);
    ~kvplot2d();

    // One sample per curve: values[i] belongs to curve i.
    void addDataFrame(const double* values);
    QWidget* getPlotWidget();
    void setYRange(double min, double max);

private:
    struct Holder;
    std::shared_ptr<Holder> pWidget;
};
