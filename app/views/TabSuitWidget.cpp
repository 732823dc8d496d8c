#include "TabSuitWidget.h"
#include "DeviceConfToShow.h"
#include "InfoBox.h"
#include "SkeletonGLWidget.h"
#include "SuitCapture.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

TabSuitWidget::TabSuitWidget(QWidget* parent)
    : QWidget(parent), stcSkeleton(Skeleton::defaultBiped())
{
    setObjectName(QStringLiteral("TabSuitWidget"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 6, 8, 0);
    pLabelState = new QLabel(this);
    pLabelState->setObjectName(QStringLiteral("labelSuitState"));
    pLabelFile = new QLabel(this);
    pButtonTPose = new QPushButton(this);
    pButtonTPose->setObjectName(QStringLiteral("pushButton_TPose"));
    pButtonRecord = new QPushButton(this);
    pButtonRecord->setObjectName(QStringLiteral("pushButton_RecordBvh"));
    pButtonRecord->setCheckable(true);
    bar->addWidget(pLabelState, 1);
    bar->addWidget(pLabelFile);
    bar->addWidget(pButtonTPose);
    bar->addWidget(pButtonRecord);
    layout->addLayout(bar);
    connect(pButtonTPose, &QPushButton::clicked, this, &TabSuitWidget::onTPose);
    connect(pButtonRecord, &QPushButton::toggled, this, &TabSuitWidget::onRecordToggled);
    setTexts();
    showState();
}

void TabSuitWidget::setTexts()
{
    pButtonTPose->setText(tr("T 姿势对齐"));
    pButtonTPose->setToolTip(tr("倒计时 3 秒后请保持 T 姿势站立 1 秒"));
    pButtonRecord->setText(tr("录制 BVH"));
}

void TabSuitWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        setTexts();
        showState();
    }
    QWidget::changeEvent(event);
}

TabSuitWidget::~TabSuitWidget()
{
    stopRecordings();
}

void TabSuitWidget::showEvent(QShowEvent* event)
{
    if (!pGL) {
        pGL = new SkeletonGLWidget(this);
        static_cast<QVBoxLayout*>(layout())->addWidget(pGL, 1);
    }
    QWidget::showEvent(event);
    refresh();
}

void TabSuitWidget::setSkeleton(const Skeleton& skeleton, const QString& modelError)
{
    stcSkeleton = skeleton;
    strModelError = modelError;
    showState();
}

void TabSuitWidget::setSuitLookup(SuitLookup l)
{
    if (!l) {
        stopRecordings();
        mapCaptures.clear();
    }
    lookup = std::move(l);
    showState();
}

void TabSuitWidget::setBvhTarget(BvhPathFor p, FrameTimeFor frameTime)
{
    pathFor = std::move(p);
    frameTimeFor = std::move(frameTime);
}

void TabSuitWidget::setCurrentDevice(DeviceConfToShow* record)
{
    nSuit = record && record->nDevType == SOURCE_ROUTER ? unsigned(record->strKey.toUInt() >> 8) : 0;
    showState();
    refresh();
}

SuitCapture* TabSuitWidget::captureFor(unsigned suitNumber)
{
    if (suitNumber == 0 || !lookup)
        return nullptr;
    auto it = mapCaptures.find(suitNumber);
    if (it != mapCaptures.end())
        return it->second.get();
    MotionCaptureSuit* suit = lookup(suitNumber);
    if (!suit)
        return nullptr;
    auto capture = std::make_unique<SuitCapture>(stcSkeleton, suit);
    SuitCapture* c = capture.get();
    connect(c, &SuitCapture::sigStateChanged, this, &TabSuitWidget::showState);
    connect(c, &SuitCapture::sigAlignmentFailed, this, [this](const QString& why) { strTPoseError = why; });
    connect(c, &SuitCapture::sigBvhFailed, this, [this, suitNumber](const QString& path, const QString& why) {
        showState();
        showBvhFailed(suitNumber, path, why);
    });
    mapCaptures[suitNumber] = std::move(capture);
    return c;
}

void TabSuitWidget::showBvhFailed(unsigned suitNumber, const QString& path, const QString& why)
{
    showInfoBox(tr("套装：%1，写入文件失败，已停止记录！").arg(suitNumber) + "\n" + path + "\n" + why,
                QStringLiteral("QPushButton { width:40px; height:20px; }"));
}

SuitCapture* TabSuitWidget::currentCapture() const
{
    const auto it = mapCaptures.find(nSuit);
    return it == mapCaptures.end() ? nullptr : it->second.get();
}

void TabSuitWidget::onTPose()
{
    strTPoseError.clear();
    if (SuitCapture* c = captureFor(nSuit))
        c->startTPose(3000, 1000);
    showState();
}

void TabSuitWidget::onRecordToggled(bool on)
{
    SuitCapture* c = captureFor(nSuit);
    if (!on) {
        if (c && c->isRecording()) {
            // A write failing now has been shown through sigBvhFailed already.
            bool told = false;
            const QMetaObject::Connection tell = connect(c, &SuitCapture::sigBvhFailed, this, [&told] { told = true; });
            const BvhOutcome done = c->stopBvh();
            disconnect(tell);
            if (!done.ok && !told)
                showBvhFailed(nSuit, done.path, done.error);
        }
        showState();
        return;
    }
    if (!c || !pathFor) {
        showState();
        return;
    }
    const QString path = pathFor(QDateTime::currentDateTime(), nSuit);
    QString why;
    if (path.isEmpty() || !c->startBvh(path, frameTimeFor ? frameTimeFor() : SuitCapture::kDefaultFrameTime, &why)) {
        showInfoBox(tr("文件路径不正确，请重新选择!") + "\n" + path + "\n" + why,
                    QStringLiteral("QPushButton { width:40px; height:20px; }"));
    }
    showState();
}

bool TabSuitWidget::stopRecordings()
{
    bool allOk = true;
    for (auto& kv : mapCaptures) {
        if (!kv.second->isRecording())
            continue;
        const BvhOutcome done = kv.second->stopBvh();
        if (!done.ok) {
            // Also when the program is closing and no box can be shown.
            qWarning("suit %u: writing %s failed, recording stopped: %s", kv.first, qPrintable(done.path),
                     qPrintable(done.error));
            allOk = false;
        }
    }
    return allOk;
}

QString TabSuitWidget::statusText() const
{
    return pLabelState->text();
}

void TabSuitWidget::showState()
{
    SuitCapture* c = captureFor(nSuit);
    // A T-pose while recording would leave the header's alignment behind.
    pButtonTPose->setEnabled(c && !c->isRecording());
    // Nor may a recording start while a T-pose is taken.
    const bool aligning = c && (c->state() == SuitCapture::Countdown || c->state() == SuitCapture::Collecting);
    pButtonRecord->setEnabled(c && (c->isRecording() || !aligning));
    {
        const QSignalBlocker block(pButtonRecord);
        pButtonRecord->setChecked(c && c->isRecording());
    }
    QString text;
    if (!c) {
        text = tr("请在设备列表中选择一个套装节点");
    } else {
        const QString suit = tr("套装 %1：").arg(nSuit);
        switch (c->state()) {
        case SuitCapture::NotAligned:
            text = suit + tr("未对齐，显示传感器原始姿态（请点击“T 姿势对齐”）");
            break;
        case SuitCapture::Countdown:
            text = suit + tr("请摆好 T 姿势：%1 秒").arg(int(std::ceil(c->remainingMs() / 1000.0)));
            break;
        case SuitCapture::Collecting:
            text = suit + tr("保持 T 姿势不动……");
            break;
        case SuitCapture::Aligned:
            if (c->awaitsWalking())
                text = suit + tr("已对齐，请走几步以确定朝向");
            else if (c->alignment().heading == SuitAlignment::HeadingPending)
                text = suit + tr("已对齐，朝向未知（节点无位置，未见行走）");
            else
                text = suit + tr("已对齐");
            break;
        }
    }
    if (!strTPoseError.isEmpty())
        text += tr("（T 姿势失败：%1）").arg(strTPoseError);
    if (!strModelError.isEmpty())
        text += tr("（模型文件有误，使用默认骨架）");
    pLabelState->setText(text);
    pLabelFile->setText(c && c->isRecording()
                            ? tr("录制中：%1（%2 帧）").arg(c->bvhPath().section(QLatin1Char('/'), -1)).arg(c->bvhFrames())
                            : QString());
}

void TabSuitWidget::refresh()
{
    if (!isVisible() || !pGL)
        return;
    SuitCapture* c = captureFor(nSuit);
    if (!c) {
        pGL->setPose(Skeleton(), SuitPose());
        return;
    }
    if (c->state() == SuitCapture::Countdown || c->state() == SuitCapture::Collecting || c->isRecording())
        showState();
    pGL->setPose(c->skeleton(), c->pose());
}
