#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A BVH file read back the way importers read it: whitespace-separated
// words, the hierarchy by its braces, then Frames, Frame Time and rows.
struct BvhTestFile
{
    struct Joint
    {
        QString name;
        int parent = -1;
        QStringList channels;
        double offset[3] = {0, 0, 0};
        bool hasEndSite = false;
        double endSite[3] = {0, 0, 0};
    };
    std::vector<Joint> joints;
    int frames = -1;
    double frameTime = 0;
    std::vector<std::vector<double>> rows;
    QStringList comments;

    // Empty on success, else what was wrong.
    QString read(const QString& path);
};
