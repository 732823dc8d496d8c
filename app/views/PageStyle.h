#pragma once

#include "FieldBackdrop.h"
#include "NumberFieldStyle.h"

#include <QGroupBox>
#include <QLineEdit>
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

// The number fields change on every refresh: they are opaque over a copy of
// their group box, so their repaints reach neither the group box nor the
// page beneath it, and they draw their frames from a cache.
inline void makeGroupBoxesOpaque(QWidget* page)
{
    auto* fieldStyle = new NumberFieldStyle(page);
    auto* backdrop = new FieldBackdrop(page);
    for (QGroupBox* box : page->findChildren<QGroupBox*>()) {
        box->setAutoFillBackground(true);
        for (QLineEdit* field : box->findChildren<QLineEdit*>())
            if (field->isReadOnly()) {
                field->setStyle(fieldStyle);
                backdrop->addField(field);
            }
    }
}
