#include "UsbStatusLabel.h"

#include "kvusb.h"

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

    QStringList texts;
    if (problems.values().contains(kvusb::RouterHeldElsewhere))
        texts << tr("USB接收器被其他程序占用，关闭该程序后会自动连接");
    if (problems.values().contains(kvusb::RouterNoPermission))
        texts << tr("没有访问USB接收器的权限，请按README安装udev规则");
    if (texts.isEmpty() && problem == kvusb::RouterProblemSolved)
        texts << tr("USB接收器已连接");
    setText(texts.join(QStringLiteral("；")));
    setVisible(!texts.isEmpty());
}
