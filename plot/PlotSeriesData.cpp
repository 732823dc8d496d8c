#include "PlotSeriesData.h"
#include "PlotData.h"

PlotSeriesData::PlotSeriesData(const PlotData* data, int curveIndex)
    : pData(data)
    , nCurve(curveIndex)
{
}

size_t PlotSeriesData::size() const
{
    return PlotData::kSamples;
}

QPointF PlotSeriesData::sample(size_t i) const
{
    return QPointF(double(i), pData->value(int(i), nCurve));
}

QRectF PlotSeriesData::boundingRect() const
{
    // Both axes are set explicitly; this only matters under autoscaling.
    return QRectF(-1.0, 0.0, 2.0, 10.0);
}

void PlotSeriesData::copyValues(double* out) const
{
    pData->copyShown(nCurve, out);
}
