#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QMap>
#include <QTimer>
#include <functional>
#include <memory>

namespace Ui {
class CalibrationAccel;
}
class QLabel;
class SLDevice;

// Leads the user through the device-side six-plane accelerometer
// calibration: begin, each plane started and, three seconds after the
// device acknowledged it, finished, then the computation.
class CalibrationAccel : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kPollMs = 50;
    static constexpr int kPlaneHoldMs = 3000;

    CalibrationAccel(QString key, SLDevice* device, QWidget* parent = nullptr);
    ~CalibrationAccel() override;

    int step() const { return nStep; }
    QString buttonText() const;
    QString labelText(const char* objectName) const;

public slots:
    void onClickNext();
    void onTimeOut();
    void slotRecvCMDResponded(QString strKey, bool isSuc);

protected:
    void changeEvent(QEvent* event) override;

private:
    // Sets a label's text and keeps how to word it for a language change.
    void setText(const QString& objectName, std::function<QString()> text);
    void showButtonText();
    void initStatusTexts();
    void showPage(int step);
    void showWaiting(float sec);
    void showCountdown(float sec);
    void showCmdResult(bool isSuc);
    QString pageSuffix() const;
    QLabel* label(const QString& name) const;

    bool bWaitResp = false;
    bool bResponded = false;
    float fWaitSec = 0;
    QElapsedTimer tSend;
    QElapsedTimer tResp;
    std::unique_ptr<Ui::CalibrationAccel> ui;
    QTimer timerPoll;
    int nStep = 0;
    QString strKey;
    SLDevice* pDevice;
    QMap<QString, std::function<QString()>> codeTexts;
};
