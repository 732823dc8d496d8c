#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tab3DWidget;
}
class NodeDispGLWidget;

// The 3D page: the current device's orientation as a turning cube.
class Tab3DWidget : public QWidget
{
    Q_OBJECT
public:
    explicit Tab3DWidget(QWidget* parent = nullptr);
    ~Tab3DWidget() override;

    // Orientation as x, y, z, w.
    void updateOrientation(float x, float y, float z, float w);
    NodeDispGLWidget* glWidget() const { return pGL; }

private:
    std::unique_ptr<Ui::Tab3DWidget> ui;
    NodeDispGLWidget* pGL;
};
