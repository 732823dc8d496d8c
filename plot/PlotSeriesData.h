#pragma once

#include <QPointF>
#include <QRectF>
#include <qwt_series_data.h>

class PlotData;

// One curve of a plot as Qwt sees it: 1000 points (i, value) read from the
// plot's last snapshot.
class PlotSeriesData final : public QwtSeriesData<QPointF>
{
public:
    PlotSeriesData(const PlotData* data, int curveIndex);

    size_t size() const override;
    QPointF sample(size_t i) const override;
    QRectF boundingRect() const override;
    // The y of every sample, in order: a drawing's whole series in one copy.
    void copyValues(double* out) const;

private:
    const PlotData* pData;
    int nCurve;
};
