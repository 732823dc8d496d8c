#include "ThreadAutoDiscernDev.h"
#include "DeviceManager.h"

#include <QDebug>

const ThreadAutoDiscernDev::Stage ThreadAutoDiscernDev::kStages[5] = {
    {1500000, 10}, {460800, 20}, {230400, 30}, {115200, 40}, {57600, 50},
};

ThreadAutoDiscernDev::ThreadAutoDiscernDev(DeviceManager* manager)
    : pManager(manager)
{
    connect(pManager, SIGNAL(sigOwnSendCmdDataComplete()), this, SLOT(DiscernResult()));
}

ThreadAutoDiscernDev::~ThreadAutoDiscernDev()
{
    requestInterruption();
    quit();
    join();
}

void ThreadAutoDiscernDev::join()
{
    wait();
    finishFence.passed();
}

void ThreadAutoDiscernDev::DiscernResult()
{
    stageDone.store(true);
}

void ThreadAutoDiscernDev::run()
{
    ThreadFinishFence::Guard fence(finishFence);
    for (int i = 0; i < 5; ++i) {
        const Stage& stage = kStages[i];
        qDebug().noquote() << QStringLiteral(" ThreadAutoDiscernDev -----------%1----------- ").arg(stage.baudRate);
        stageDone.store(false);
        emit AutoDiscernThread(stage.baudRate);
        while (!stageDone.load()) {
            if (isInterruptionRequested())
                return;
            QThread::msleep(1);
        }
        QThread::msleep(kReplyWindowMs);
        if (isInterruptionRequested())
            return;
        emit AutoCheckProcessThread(stage.progressAfter);
        if (i == 1)
            qDebug().noquote() << " ThreadAutoDiscernDev 460800 exit!";
    }
    emit AutoDiscernThread(0);
    emit AutoCheckProcessThread(100);
    qDebug().noquote() << " ThreadAutoDiscernDev exit!";
}
