#pragma once

#include <QCommandLineParser>
#include <cstdio>

// strideloom-cli bvh: waits for a suit, takes its first seconds as the
// T-pose and records its motion into a BVH file.
int runBvh(FILE* out, const QCommandLineParser& cli, const QString& optionFile);
