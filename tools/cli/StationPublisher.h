#pragma once

#include <QCommandLineParser>
#include <cstdio>

class SLDevice;

// strideloom-cli publish: a headless capture station (serial devices and
// USB nodes → MQTT broker and/or OSC). dev is null when no serial device
// was asked for.
int runPublish(SLDevice* dev, FILE* out, const QCommandLineParser& cli);
// strideloom-cli record --broker: records other stations' devices with
// the program's recorder.
int runRemoteRecord(FILE* out, const QCommandLineParser& cli);
// Adds the options of both commands to the parser.
void addStreamOptions(QCommandLineParser& cli);
