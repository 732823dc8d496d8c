#pragma once

#include <QIcon>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace Ui {
class MainView;
}
class DeviceConfToShow;
class QPushButton;
class SLDevice;
class Tab3DWidget_mag;
class Tab3DWidget;
class TabApplyDataWidget;
class TabBasicDataWidget;
class TabExtendDataWidget;
class TabSuitWidget;

// The central widget: a button column and the data pages of the selected
// device, refreshed from its current values about 30 times a second.
class MainView : public QWidget
{
    Q_OBJECT
public:
    enum Page { PageBasic = 0, PageApply, PageExtend, Page3D, PageMag, PageSuit };

    explicit MainView(QWidget* parent = nullptr);
    ~MainView() override;

    void setCurrentDevice(DeviceConfToShow* record);
    void clearCurrentDevice();
    DeviceConfToShow* currentDevice() const { return pCurDevice; }
    void refresh();
    void showPage(int page);
    int currentPage() const;

    TabBasicDataWidget* basicPage() const { return pTabBasic; }
    TabApplyDataWidget* applyPage() const { return pTabApply; }
    TabExtendDataWidget* extendPage() const { return pTabExtend; }
    Tab3DWidget* page3D() const { return pTab3D; }
    Tab3DWidget_mag* pageMag() const { return pTabMag; }
    TabSuitWidget* pageSuit() const { return pTabSuit; }
    // The serial library the magnetometer page writes calibrations through.
    void setDevice(SLDevice* device);

signals:
    void sigDebugInfo(QStringList lines, bool isClear);

public slots:
    void OnClickButtonBasData();
    void OnClickButtonAppData();
    void OnClickButtonExtData();
    void OnClickButton3D();
    void OnClickButton3D_mag();
    void OnClickButtonSuit();
    void slotPlayBtn();
    void slotPlayEPosReturnPressed();
    void slotSliderPressed();
    void slotSliderRelease();
    void slotSliderMove(int nPos);

public:
    void enablePlayControls();
    void disablePlayControls();
    void updatePlayPosition();

protected:
    void changeEvent(QEvent* event) override;

private:
    // The play/pause button's icon and tool tip.
    void showPlayState(bool playing);

    std::unique_ptr<Ui::MainView> ui;
    QIcon iconPlay;
    QIcon iconPause;
    QString strButtonBarStyle;
    QString strSelectedStyle;
    TabBasicDataWidget* pTabBasic;
    TabApplyDataWidget* pTabApply;
    TabExtendDataWidget* pTabExtend;
    Tab3DWidget* pTab3D;
    Tab3DWidget_mag* pTabMag;
    TabSuitWidget* pTabSuit;
    DeviceConfToShow* pCurDevice = nullptr;
    QList<QPushButton*> buttons;
};
