#include "PlotHost.h"

#include <QLayout>

void PlotHost::set(QWidget* plot)
{
    if (pShown && pShown != plot)
        pShown->hide();
    pShown = plot;
    if (!plot || !pContainer)
        return;
    if (pContainer->layout() && pContainer->layout()->indexOf(plot) < 0)
        pContainer->layout()->addWidget(plot);
    plot->show();
}

void PlotHost::clear()
{
    if (pShown)
        pShown->hide();
    pShown = nullptr;
}
