#include "Tab3DWidget.h"
#include "NodeDispGLWidget.h"
#include "ui_Tab3DWidget.h"

Tab3DWidget::Tab3DWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Tab3DWidget)
{
    ui->setupUi(this);
    pGL = new NodeDispGLWidget(this);
    ui->VBL_node3d->addWidget(pGL);
}

Tab3DWidget::~Tab3DWidget()
{
    delete pGL;
}

void Tab3DWidget::updateOrientation(float x, float y, float z, float w)
{
    pGL->UpdateGlData(x, y, z, w);
}
