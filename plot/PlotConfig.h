#pragma once

#include <QString>
#include <QStringList>

// What a plot shows, as its owner described it.
struct PlotConfig
{
    int curveCount = 0;
    QString title;
    QStringList curveNames;
    QString ownerText;
    QString ownerLabel;
    unsigned int plotId = 0;
    bool historyMode = false;

    bool isValid() const { return curveCount >= 1 && curveCount <= 4 && curveNames.size() == curveCount; }
};
