#pragma once

#include "AppTestSupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

class Strideloom;
class QTableWidget;

// Runs the whole program as a user would, with simulated serial sensors in
// child sensorsim processes: a working directory with Resources/, the main
// window, discovery, ticking rows. For benchmarks and long runs.
class ProgramHarness
{
public:
    ProgramHarness();
    ~ProgramHarness();

    // Starts one sensorsim process with these arguments; its ports are
    // added to the extra ports. False when it did not come up.
    bool startSensors(const QStringList& args, int devices);
    // Creates and shows the main window; returns the milliseconds until it
    // was on screen, or -1.
    double startProgram();
    // Runs a serial discovery until at least `serialRows` serial rows exist.
    bool discover(int serialRows, int timeoutMs = 60000);
    // Runs one more discovery and waits for its end.
    void rediscover(int timeoutMs = 60000);
    // Rows whose type column reads type ("Serial Port", "Router Device").
    QList<int> rowsOfType(const char* type) const;
    // Ticks the given rows (as the user's check boxes do).
    void check(const QList<int>& rows);
    // Selects a row: the pages show that device.
    void select(int row);
    // Ends the simulators; frames each device sent, by serial number.
    std::map<QString, long> stopSensors();
    // Accepts information boxes as they come; their texts are kept.
    void acceptInfoBoxes();
    QStringList infoBoxTexts() const { return boxTexts; }

    Strideloom* window() const { return win.get(); }
    QTableWidget* table() const;
    QString workPath() const { return work->path(); }

    static double cpuSeconds();
    static long residentKb();
    static void waitMs(int ms);

private:
    std::unique_ptr<AppWorkDir> work;
    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList ports;
    std::unique_ptr<Strideloom> win;
    QStringList boxTexts;
};
