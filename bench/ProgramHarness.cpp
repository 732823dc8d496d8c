#include "ProgramHarness.h"

#include "DockDeviceList.h"
#include "SLDevice.h"
#include "Strideloom.h"
#include "ToolBarDeviceOperation.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

ProgramHarness::ProgramHarness() : work(std::make_unique<AppWorkDir>()) {}

ProgramHarness::~ProgramHarness()
{
    win.reset();
    stopSensors();
}

double ProgramHarness::cpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long ProgramHarness::residentKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

void ProgramHarness::waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ProgramHarness::startSensors(const QStringList& args, int devices)
{
    auto sim = std::make_unique<QProcess>();
    sim->start(QCoreApplication::applicationDirPath() + QStringLiteral("/sensorsim"), args);
    if (!sim->waitForStarted(5000))
        return false;
    int found = 0;
    bool ready = false;
    while (!ready && sim->waitForReadyRead(10000)) {
        while (sim->canReadLine()) {
            const QByteArray line = sim->readLine().trimmed();
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 3) {
                ports << QString::fromLocal8Bit(f[2]);
                ++found;
            } else if (line == "ready") {
                ready = true;
            }
        }
    }
    sims.push_back(std::move(sim));
    return ready && found == devices;
}

double ProgramHarness::startProgram()
{
    if (!work->isValid())
        return -1;
    work->setOption(QStringLiteral("extraports"), ports.join(QLatin1Char(';')));
    QElapsedTimer clock;
    clock.start();
    win = std::make_unique<Strideloom>();
    win->resize(1000, 600);
    win->show();
    while (!(win->windowHandle() && win->windowHandle()->isExposed()) && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    return win->windowHandle() && win->windowHandle()->isExposed() ? clock.nsecsElapsed() / 1e6 : -1;
}

QTableWidget* ProgramHarness::table() const
{
    return win->deviceDock()->table();
}

bool ProgramHarness::discover(int serialRows, int timeoutMs)
{
    win->deviceToolBar()->checkSerialAction()->trigger();
    QElapsedTimer clock;
    clock.start();
    while (rowsOfType("Serial Port").size() < serialRows && clock.elapsed() < timeoutMs)
        waitMs(100);
    return rowsOfType("Serial Port").size() >= serialRows;
}

void ProgramHarness::rediscover(int timeoutMs)
{
    QEventLoop loop;
    QObject::connect(win->device()->getDevObj(), SIGNAL(sigAutoCheckComplete()), &loop, SLOT(quit()));
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    win->deviceToolBar()->checkSerialAction()->trigger();
    loop.exec();
    waitMs(200);
}

QList<int> ProgramHarness::rowsOfType(const char* type) const
{
    QList<int> rows;
    QTableWidget* t = table();
    for (int row = 0; row < t->rowCount(); ++row) {
        if (t->item(row, 1) && t->item(row, 1)->text() == QLatin1String(type))
            rows << row;
    }
    return rows;
}

void ProgramHarness::check(const QList<int>& rows)
{
    for (int row : rows)
        table()->item(row, 0)->setCheckState(Qt::Checked);
    if (!rows.isEmpty())
        win->deviceDock()->ClickedListItem(table()->item(rows.first(), 0));
}

void ProgramHarness::select(int row)
{
    table()->setCurrentCell(row, 0);
    win->deviceDock()->ClickedListItem(table()->item(row, 0));
}

std::map<QString, long> ProgramHarness::stopSensors()
{
    std::map<QString, long> sent;
    for (auto& sim : sims) {
        ::kill(pid_t(sim->processId()), SIGTERM);
        sim->waitForFinished(5000);
        for (const QByteArray& line : sim->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.trimmed().split(' ');
            if (f.size() == 4 && f[0] == "sent")
                sent[QString::fromLatin1(f[1])] = f[2].toLong();
        }
    }
    sims.clear();
    return sent;
}

void ProgramHarness::acceptInfoBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxTexts << box->text();
            box->accept();
        }
    });
    timer->start(50);
}
