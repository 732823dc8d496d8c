#include "Tab3DWidget.h"
#include "NodeDispGLWidget.h"
#include "ui_Tab3DWidget.h"

Tab3DWidget::Tab3DWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Tab3DWidget)
{
    ui->setupUi(this);
}

void Tab3DWidget::showEvent(QShowEvent* event)
{
    if (!pGL) {
        pGL = new NodeDispGLWidget(this);
        ui->VBL_node3d->addWidget(pGL);
        pGL->UpdateGlData(fOrientation[0], fOrientation[1], fOrientation[2], fOrientation[3]);
    }
    QWidget::showEvent(event);
}

Tab3DWidget::~Tab3DWidget()
{
    delete pGL;
}

void Tab3DWidget::updateOrientation(float x, float y, float z, float w)
{
    fOrientation[0] = x;
    fOrientation[1] = y;
    fOrientation[2] = z;
    fOrientation[3] = w;
    if (pGL)
        pGL->UpdateGlData(x, y, z, w);
}
