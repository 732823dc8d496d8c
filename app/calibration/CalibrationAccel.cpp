#include "CalibrationAccel.h"
#include "SLDevice.h"
#include "ui_CalibrationAccel.h"

#include <QPixmap>
#include <QTabBar>

CalibrationAccel::CalibrationAccel(QString key, SLDevice* device, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CalibrationAccel)
    , strKey(key)
    , pDevice(device)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->tabWidget->tabBar()->hide();
    nStep = 0;
    showPage(0);
    timerPoll.start(kPollMs);
    initStatusTexts();
    connect(ui->pushButton_Next, &QPushButton::clicked, this, &CalibrationAccel::onClickNext);
    connect(&timerPoll, &QTimer::timeout, this, &CalibrationAccel::onTimeOut);
}

CalibrationAccel::~CalibrationAccel() = default;

QLabel* CalibrationAccel::label(const QString& name) const
{
    return findChild<QLabel*>(name);
}

QString CalibrationAccel::labelText(const char* objectName) const
{
    QLabel* l = label(QString::fromLatin1(objectName));
    return l ? l->text() : QString();
}

QString CalibrationAccel::buttonText() const
{
    return ui->pushButton_Next->text();
}

QString CalibrationAccel::pageSuffix() const
{
    if (nStep == 0)
        return QStringLiteral("begin");
    if (nStep == 7)
        return QStringLiteral("end");
    return QString::number(nStep);
}

void CalibrationAccel::setText(const QString& objectName, std::function<QString()> text)
{
    label(objectName)->setText(text());
    codeTexts[objectName] = std::move(text);
}

void CalibrationAccel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        for (auto it = codeTexts.cbegin(); it != codeTexts.cend(); ++it)
            label(it.key())->setText(it.value()());
        showButtonText();
    }
    QDialog::changeEvent(event);
}

void CalibrationAccel::initStatusTexts()
{
    const QStringList pages{"begin", "1", "2", "3", "4", "5", "6", "end"};
    for (const QString& p : pages) {
        setText("label_wait_" + p, [] { return tr("命令下发用时："); });
        setText("label_recvSuc_" + p, [] { return tr("命令执行状态："); });
    }
    for (int n = 1; n <= 6; ++n)
        setText(QStringLiteral("label_resSec_%1").arg(n), [n] { return tr("校准旋转面【%1】剩余时间：").arg(n); });
}

void CalibrationAccel::showButtonText()
{
    if (nStep == 0)
        ui->pushButton_Next->setText(tr("开始校准"));
    else if (nStep <= 6)
        ui->pushButton_Next->setText(tr("校准旋转面【%1】").arg(nStep));
    else
        ui->pushButton_Next->setText(tr("开始计算"));
}

void CalibrationAccel::showPage(int step)
{
    ui->tabWidget->setCurrentIndex(step);
    showButtonText();
    if (step >= 1 && step <= 6)
        label(QStringLiteral("label_step_%1").arg(step))->setPixmap(QPixmap(QStringLiteral("./Resources/Images/%1-.png").arg(step)));
    else if (step == 7)
        ui->label_step_7->setPixmap(QPixmap(QStringLiteral("./Resources/Images/complete.png")));
}

void CalibrationAccel::showWaiting(float sec)
{
    setText("label_wait_" + pageSuffix(), [sec] { return tr("命令下发用时：%1秒").arg(double(sec), 0, 'f', 1); });
}

void CalibrationAccel::showCountdown(float sec)
{
    if (nStep < 1 || nStep > 6)
        return;
    const int plane = nStep;
    setText(QStringLiteral("label_resSec_%1").arg(plane),
            [plane, sec] { return tr("校准旋转面【%1】剩余时间：%2秒").arg(plane).arg(double(sec), 0, 'f', 1); });
}

void CalibrationAccel::showCmdResult(bool isSuc)
{
    const auto result = [isSuc] { return isSuc ? tr("成功！") : tr("失败！"); };
    if (nStep == 7)
        setText(QStringLiteral("label_recvSuc_end"), [result] { return tr("校准计算状态：") + result(); });
    else
        setText("label_recvSuc_" + pageSuffix(), [result] { return tr("命令执行状态：") + result(); });
}

void CalibrationAccel::onClickNext()
{
    bWaitResp = true;
    bResponded = false;
    tSend.start();
    if (nStep == 0)
        pDevice->AccelCalibrate_begin(strKey);
    else if (nStep <= 6)
        pDevice->AccelCalibrate_plane(strKey, nStep);
    else
        pDevice->AccelCalibrate_finish(strKey);
}

void CalibrationAccel::slotRecvCMDResponded(QString key, bool isSuc)
{
    if (key != strKey)
        return;
    bResponded = true;
    tResp.start();
    showCmdResult(isSuc);
}

void CalibrationAccel::onTimeOut()
{
    if (!bWaitResp)
        return;
    if (!bResponded) {
        fWaitSec = float(tSend.elapsed()) / 1000.0f;
        showWaiting(fWaitSec);
        return;
    }
    if (nStep == 0) {
        nStep = 1;
    } else if (nStep <= 6) {
        const qint64 elapsed = tResp.elapsed();
        if (elapsed < kPlaneHoldMs) {
            showCountdown(float(kPlaneHoldMs - elapsed) / 1000.0f);
            return;
        }
        pDevice->AccelCalibrate_planeFinish(strKey, nStep);
        showCountdown(0);
        nStep += 1;
    }
    bWaitResp = bResponded = false;
    fWaitSec = 0;
    showPage(nStep);
}
