#pragma once

#include <QGroupBox>
#include <QWidget>

// Canvas and slider style of the pages that host plots.
inline const char* pagePlotStyle()
{
    return "QWidget#PlotCanvas{background:#565D65;border-radius:10px;}"
           "QSlider::groove:horizontal{height:6px;border-radius:2px;background:#818996;}"
           "QSlider::handle:horizontal{image:url(./Resources/Images/slider.png);margin-top:-8px;margin-bottom:-8px;"
           "border:none;}"
           "QSlider::handle:horizontal:hover{image:url(./Resources/Images/slider.png);}"
           "QSlider::handle:horizontal:pressed{image:url(./Resources/Images/slider.png);}";
}

// The number fields change on every refresh; a group box that fills its own
// background keeps those repaints from reaching the page beneath it.
inline void makeGroupBoxesOpaque(QWidget* page)
{
    for (QGroupBox* box : page->findChildren<QGroupBox*>())
        box->setAutoFillBackground(true);
}
