#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tab3DWidget;
}
class NodeDispGLWidget;

// The 3D page: the current device's orientation as a turning cube. The GL
// view is made when the page is first shown: loading the GL driver (with a
// software renderer, tens of MiB) is left to users who look at it.
class Tab3DWidget : public QWidget
{
    Q_OBJECT
public:
    explicit Tab3DWidget(QWidget* parent = nullptr);
    ~Tab3DWidget() override;

    // Orientation as x, y, z, w.
    void updateOrientation(float x, float y, float z, float w);
    NodeDispGLWidget* glWidget() const { return pGL; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::Tab3DWidget> ui;
    NodeDispGLWidget* pGL = nullptr;
    float fOrientation[4] = {0, 0, 0, 1};
};
