#include "UsbStatusLabel.h"

#include "kvusb.h"

#include <QEvent>
#include <QStringList>

UsbStatusLabel::UsbStatusLabel(kvusb* usb, QWidget* parent) : QLabel(parent)
{
    hide();
    // Reported on the library's polling thread: queued to this one.
    connect(usb, &kvusb::usbRouterProblem, this, &UsbStatusLabel::setRouterProblem);
}

void UsbStatusLabel::setRouterProblem(int problem, unsigned int router)
{
    if (problem == kvusb::RouterHeldElsewhere || problem == kvusb::RouterNoPermission)
        problems.insert(router, problem);
    else
        problems.remove(router);
    bJustSolved = problem == kvusb::RouterProblemSolved;
    showProblems();
}

void UsbStatusLabel::showProblems()
{
    QStringList texts;
    if (problems.values().contains(kvusb::RouterHeldElsewhere))
        texts << tr("USB接收器被其他程序占用，关闭该程序后会自动连接");
    if (problems.values().contains(kvusb::RouterNoPermission))
        texts << tr("没有访问USB接收器的权限，请按README安装udev规则");
    if (texts.isEmpty() && bJustSolved)
        texts << tr("USB接收器已连接");
    //: Between two receiver problems shown at once.
    setText(texts.join(tr("；")));
    setVisible(!texts.isEmpty());
}

void UsbStatusLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        showProblems();
    QLabel::changeEvent(event);
}
