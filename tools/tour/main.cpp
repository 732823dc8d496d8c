// strideloom-tour: starts the program and walks through it as a person
// would (find devices, select the first one, show every page), saving a
// screenshot of the screen at each step. For machines without a display,
// under Xvfb. The shots show the English interface, or the Chinese one.
//   strideloom-tour SHOTS_DIR [zh_CN]

#include "DeviceConfToShow.h"
#include "ProgramStart.h"
#include "DockDeviceList.h"
#include "LanguageSwitcher.h"
#include "MainView.h"
#include "ProgramFiles.h"
#include "Strideloom.h"
#include "ToolBarDeviceOperation.h"
#include "ToolBarFileOperation.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <cstdio>
#include <dlfcn.h>

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void shot(const QDir& dir, const QString& name)
{
    settle(600);
    const QString path = dir.filePath(name + ".png");
    QApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}

// Rows of one kind of device (the texts depend on the language).
QList<int> rowsOfType(QTableWidget* table, DevSourceType type)
{
    QList<int> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const auto* r = table->item(row, 0)
                            ? static_cast<const DeviceConfToShow*>(
                                  table->item(row, 0)->data(DockDeviceList::kRecordRole).value<void*>())
                            : nullptr;
        if (r && r->nDevType == type)
            rows << row;
    }
    return rows;
}

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}

} // namespace

int main(int argc, char** argv)
{
    // As the program's own main does.
    prepareProgramStart();
    QApplication app(argc, argv);
    const QString chosen = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("en");
    if (argc < 2 || argc > 3 || (chosen != QLatin1String("en") && chosen != QLatin1String("zh_CN"))) {
        std::fprintf(stderr, "usage: strideloom-tour SHOTS_DIR [zh_CN]\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(".");

    LanguageSwitcher language(ProgramFiles::find(QStringLiteral("translations")));
    auto* window = new Strideloom(&language);
    // Whatever the option file says.
    language.apply(chosen);
    window->resize(1000, 600);
    window->showMaximized();
    // Xvfb has no window manager to maximise the window; fill the screen,
    // and widen the device list as a user would drag it.
    window->setGeometry(QApplication::primaryScreen()->availableGeometry());
    window->resizeDocks({window->deviceDock()}, {440}, Qt::Horizontal);
    // USB nodes appear by themselves as their frames arrive.
    QTableWidget* table = window->deviceDock()->table();
    QElapsedTimer wait;
    wait.start();
    while (rowsOfType(table, SOURCE_ROUTER).isEmpty() && wait.elapsed() < 5000)
        settle(100);
    settle(1000);
    std::printf("USB nodes listed: %d\n", int(rowsOfType(table, SOURCE_ROUTER).size()));
    shot(dir, "01-started");

    // Find devices
    QToolBar* bar = window->deviceToolBar()->toolBar();
    click(bar->widgetForAction(window->deviceToolBar()->checkSerialAction()));
    wait.restart();
    while (rowsOfType(table, SOURCE_SERIAL).isEmpty() && wait.elapsed() < 30000)
        settle(100);
    std::printf("serial devices found: %d\n", int(rowsOfType(table, SOURCE_SERIAL).size()));
    if (rowsOfType(table, SOURCE_SERIAL).isEmpty()) {
        delete window;
        return 1;
    }
    settle(3000);

    // Select and tick the first serial device.
    const int serialRow = rowsOfType(table, SOURCE_SERIAL).first();
    const QRect cell = table->visualItemRect(table->item(serialRow, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    table->item(serialRow, 0)->setCheckState(Qt::Checked);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    settle(2500);
    shot(dir, "02-basic-data");

    const char* pages[] = {"ButtonToAppData", "ButtonToExtData", "ButtonTo3D"};
    const char* names[] = {"03-applied-data", "04-extended-data", "05-3d-view"};
    for (int i = 0; i < 3; ++i) {
        click(window->mainView()->findChild<QPushButton*>(pages[i]));
        shot(dir, names[i]);
    }
    // Magnetometer calibration of the selected device, start to finish.
    click(window->mainView()->findChild<QPushButton*>("ButtonTo3D_mag"));
    DeviceConfToShow* dev = window->mainView()->currentDevice();
    click(window->mainView()->findChild<QPushButton*>("pushButton_EffectCalculate"));
    settle(8000);
    shot(dir, "06-mag-collecting");
    wait.restart();
    while (dev->eMagCalculType.load() != DeviceConfToShow::MagCalcul_Device && wait.elapsed() < 150000)
        settle(200);
    settle(5000);
    shot(dir, "07-mag-calibrated");
    std::printf("calibration %s after %.0f s\n",
                dev->eMagCalculType.load() == DeviceConfToShow::MagCalcul_Device ? "in force" : "not finished",
                wait.elapsed() / 1000.0);
    // Record the ticked device for a few seconds, then play the recording back.
    ToolBarFileOperation* files = window->fileToolBar();
    const QString recordDir = dir.filePath("recordings");
    files->pathCombo()->setCurrentText(recordDir);
    files->exportAction()->trigger();
    settle(4000);
    files->exportAction()->trigger();
    const QStringList recorded = QDir(recordDir).entryList(QDir::Files);
    std::printf("recorded: %s\n", qPrintable(recorded.join(' ')));
    if (!recorded.isEmpty() && window->openRecording(QDir(recordDir).filePath(recorded.first()))) {
        const int row = table->rowCount() - 1;
        const QRect fileCell = table->visualItemRect(table->item(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, fileCell.center());
        click(window->mainView()->findChild<QPushButton*>("ButtonToBasicData"));
        click(window->mainView()->findChild<QPushButton*>("pushButton_playPause"));
        settle(2500);
        shot(dir, "08-playback");
        click(window->mainView()->findChild<QPushButton*>("ButtonTo3D"));
        shot(dir, "09-playback-3d");
    }
    // A USB node: its live data and its place in the 3D view.
    const QList<int> nodes = rowsOfType(table, SOURCE_ROUTER);
    if (!nodes.isEmpty()) {
        const QRect nodeCell = table->visualItemRect(table->item(nodes.first(), 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, nodeCell.center());
        click(window->mainView()->findChild<QPushButton*>("ButtonToBasicData"));
        settle(2500);
        shot(dir, "10-usb-node");
        click(window->mainView()->findChild<QPushButton*>("ButtonTo3D"));
        settle(1000);
        shot(dir, "11-usb-node-3d");
        // The whole suit: raw orientations first, then aligned by a T-pose
        // (the simulated wearer is asked to stand still) and recording.
        click(window->mainView()->findChild<QPushButton*>("ButtonToSuit"));
        settle(1000);
        shot(dir, "12-suit-not-aligned");
        using StandStill = void (*)(int, double);
        if (auto standStill = reinterpret_cast<StandStill>(dlsym(RTLD_DEFAULT, "usbsim_walk_tpose")))
            standStill(0, 5.0);
        click(window->mainView()->findChild<QPushButton*>("pushButton_TPose"));
        settle(7000);
        click(window->mainView()->findChild<QPushButton*>("pushButton_RecordBvh"));
        settle(1700);
        shot(dir, "13-suit-walking-aligned");
        click(window->mainView()->findChild<QPushButton*>("pushButton_RecordBvh"));
    }
    click(window->mainView()->findChild<QPushButton*>("ButtonToBasicData"));
    settle(200);
    delete window;
    return 0;
}
