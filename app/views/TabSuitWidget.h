#pragma once

#include "Skeleton.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

class DeviceConfToShow;
class MotionCaptureSuit;
class QLabel;
class QPushButton;
class SkeletonGLWidget;
class SuitCapture;

// The suit page: the suit of the selected USB node as a skeleton, its
// T-pose alignment and BVH recording. Alignments are kept per suit for the
// session.
class TabSuitWidget : public QWidget
{
    Q_OBJECT
public:
    using SuitLookup = std::function<MotionCaptureSuit*(unsigned suitNumber)>;
    // The BVH file for a recording that starts now.
    using BvhPathFor = std::function<QString(const QDateTime& start, unsigned suitNumber)>;
    // The frame time in seconds, asked at every start so a changed option counts.
    using FrameTimeFor = std::function<double()>;

    explicit TabSuitWidget(QWidget* parent = nullptr);
    ~TabSuitWidget() override;

    void setSkeleton(const Skeleton& skeleton, const QString& modelError);
    // A null lookup stops every recording and forgets the suits (the USB
    // library is going away).
    void setSuitLookup(SuitLookup lookup);
    void setBvhTarget(BvhPathFor pathFor, FrameTimeFor frameTime);

    void setCurrentDevice(DeviceConfToShow* record);
    // Redraws from the suit's latest frames; nothing while hidden.
    void refresh();
    // Stops every BVH recording, closing its file; a failed one is logged
    // and makes it false.
    bool stopRecordings();

    SuitCapture* currentCapture() const;
    // Created when the page is first shown (a GL context costs even unseen).
    SkeletonGLWidget* glWidget() const { return pGL; }
    QPushButton* tposeButton() const { return pButtonTPose; }
    QPushButton* recordButton() const { return pButtonRecord; }
    QString statusText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void onTPose();
    void onRecordToggled(bool on);

private:
    SuitCapture* captureFor(unsigned suitNumber);
    void showState();
    void setTexts();
    void showBvhFailed(unsigned suitNumber, const QString& path, const QString& why);

    Skeleton stcSkeleton;
    QString strModelError;
    QString strTPoseError;  // why the last T-pose could not be used
    SuitLookup lookup;
    BvhPathFor pathFor;
    FrameTimeFor frameTimeFor;
    unsigned nSuit = 0;  // suit of the selected node; 0 for none
    std::map<unsigned, std::unique_ptr<SuitCapture>> mapCaptures;
    QLabel* pLabelState;
    QLabel* pLabelFile;
    QPushButton* pButtonTPose;
    QPushButton* pButtonRecord;
    SkeletonGLWidget* pGL = nullptr;
};
