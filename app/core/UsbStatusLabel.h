#pragma once

#include <QLabel>
#include <QMap>

class kvusb;

// A permanent status-bar field for the USB receivers: it keeps each
// receiver's current problem (held by another program, no permission)
// until that receiver is opened or leaves the bus, whatever other
// messages the status bar shows meanwhile.
class UsbStatusLabel : public QLabel
{
    Q_OBJECT
public:
    UsbStatusLabel(kvusb* usb, QWidget* parent = nullptr);

public slots:
    // A kvusb::RouterProblem value for one receiver.
    void setRouterProblem(int problem, unsigned int router);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showProblems();

    QMap<unsigned int, int> problems;  // receiver → its unsolved problem
    bool bJustSolved = false;  // the last news was a receiver opened
};
