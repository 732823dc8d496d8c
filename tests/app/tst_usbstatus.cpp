// What the status bar says about USB receivers that cannot be read.

#include "AppTestSupport.h"
#include "Strideloom.h"
#include "kvusb.h"
#include "usbsim.h"

#include <QLabel>
#include <QStatusBar>
#include <QtTest>
#include <memory>

namespace {

const char* const kHeld = "USB接收器被其他程序占用，关闭该程序后会自动连接";

// Everything the status bar shows: its message and its labels.
QString statusText(Strideloom* window)
{
    QString text = window->statusBar()->currentMessage();
    for (const QLabel* label : window->statusBar()->findChildren<QLabel*>())
        if (label->isVisible())
            text += QLatin1Char('|') + label->text();
    return text;
}

} // namespace

class TestUsbStatus : public QObject
{
    Q_OBJECT
private slots:
    // Router A stays held while B is released: B's news must not hide
    // A's problem; A's problem goes when A leaves the bus.
    void eachReceiverProblemStaysUntilSolved()
    {
        AppWorkDir work;
        QVERIFY(work.isValid());
        usbsim_reset();
        const int a = usbsim_add_router(0x5001, 0, 2, 50);
        const int b = usbsim_add_router(0x5002, 0, 2, 50);
        usbsim_set_held(a, 1);
        usbsim_set_held(b, 1);
        auto window = std::make_unique<Strideloom>();
        window->show();
        const QString held = QString::fromUtf8(kHeld);
        QTRY_VERIFY_WITH_TIMEOUT(statusText(window.get()).contains(held), 8000);
        usbsim_set_held(b, 0);
        QTRY_VERIFY_WITH_TIMEOUT(window->usb()->getMotionCaptureSuit(0x5002), 15000);
        QTest::qWait(300);
        window->statusBar()->showMessage(QStringLiteral("another message"));
        QVERIFY2(statusText(window.get()).contains(held), qPrintable(statusText(window.get())));
        usbsim_unplug(a);
        QTRY_VERIFY_WITH_TIMEOUT(!statusText(window.get()).contains(held), 3000);
        window.reset();
        QCOMPARE(usbsim_open_handles(), 0);
    }
};

QTEST_MAIN(TestUsbStatus)
#include "tst_usbstatus.moc"
