#include "PlotData.h"

#include <algorithm>

PlotData::PlotData(int curveCount)
    : nCurves(curveCount)
    , values(size_t(curveCount) * kSamples, 0.0)
    , shown(size_t(curveCount) * kSamples, 0.0)
{
}

void PlotData::pushLocked(const double* v)
{
    head = (head + 1) % kSamples;
    if (head == start)
        start = (start + 1) % kSamples;
    for (int k = 0; k < nCurves; ++k)
        values[size_t(k) * kSamples + size_t(head)] = v[k];
    ++version;
}

void PlotData::push(const double* v)
{
    std::lock_guard<std::mutex> lock(mutex);
    pushLocked(v);
}

void PlotData::reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    start = head = 0;
    std::fill(values.begin(), values.end(), 0.0);
    ++version;
}

void PlotData::pushWithHistory(const double* v)
{
    Frame f{0, 0, 0, 0};
    for (int k = 0; k < std::min(nCurves, 4); ++k)
        f[size_t(k)] = v[k];
    std::lock_guard<std::mutex> lock(mutex);
    if (history.size() >= kMaxFrames)
        history.clear();
    history.push_back(f);
    pushLocked(v);
}

size_t PlotData::historySize() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return history.size();
}

void PlotData::showHistory(size_t skip)
{
    std::lock_guard<std::mutex> lock(mutex);
    start = head = 0;
    std::fill(values.begin(), values.end(), 0.0);
    const size_t end = std::min(history.size(), skip + size_t(kSamples));
    for (size_t i = skip; i < end; ++i)
        pushLocked(history[i].data());
    ++version;
}

bool PlotData::takeSnapshot()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (version == shownVersion)
        return false;
    shown = values;
    shownStart = start;
    shownVersion = version;
    return true;
}

double PlotData::valueIn(const std::vector<double>& store, int s, int i, int curve) const
{
    if (i >= kSamples || i < 0 || curve < 0 || curve >= nCurves)
        return -1.0;
    return store[size_t(curve) * kSamples + size_t((s + i) % kSamples)];
}

double PlotData::value(int i, int curve) const
{
    return valueIn(shown, shownStart, i, curve);
}

void PlotData::copyShown(int curve, double* out) const
{
    const double* row = shown.data() + size_t(curve) * kSamples;
    std::copy(row + shownStart, row + kSamples, out);
    std::copy(row, row + shownStart, out + (kSamples - shownStart));
}

double PlotData::liveValue(int i, int curve) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return valueIn(values, start, i, curve);
}
