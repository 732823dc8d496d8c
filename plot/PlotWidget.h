#pragma once

#include "PlotConfig.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

namespace Ui {
class PlotWidget;
}
class PlotData;
class PlotShower;
class QSlider;

// Header line, play/stop button, the plot and (history mode) the slider.
// Frames may arrive on one thread other than the GUI thread.
class PlotWidget : public QWidget
{
    Q_OBJECT
public:
    // data: the frames to show, kept by the caller so that they can be
    // stored before the widget exists; made here when null.
    explicit PlotWidget(const PlotConfig& config, std::shared_ptr<PlotData> data = nullptr, QWidget* parent = nullptr);
    ~PlotWidget() override;

    // Thread-safe against the GUI thread; ignored when the configuration
    // built no plot.
    void addDataFrame(const double* values);
    void setYRange(double min, double max);

    bool hasPlot() const { return pData != nullptr; }
    PlotData* data() const { return pData.get(); }
    PlotShower* shower() const { return pShower; }
    QSlider* slider() const { return pSlider; }

    // The curve colour of curve i of n, from the seven-stop hue table.
    static QColor curveColor(int i, int n);

public slots:
    void onReplot();
    void onControlBtnClicked();
    void onControlSliderMoved(int value);

protected:
    // A plot redraws only while it is visible: hidden plots keep storing
    // frames and cost nothing else.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyPausedState(bool paused);
    // The play/stop button's tool tip for its state.
    void showControlTip();
    QString ownerLine() const;

    std::unique_ptr<Ui::PlotWidget> ui;
    QString ownerLabel;
    QString ownerText;
    QIcon iconPlay;
    QIcon iconStop;
    QTimer timer;
    const bool historyMode;
    const int curveCount;
    // Mirrors the play/stop button for the frame-adding thread.
    std::atomic<bool> paused{false};
    PlotShower* pShower = nullptr;
    QSlider* pSlider = nullptr;
    std::shared_ptr<PlotData> pData;
};
