#include "BvhTestFile.h"

#include <QFile>
#include <QTextStream>

QString BvhTestFile::read(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("cannot open");
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (lines.value(0).trimmed() != QLatin1String("HIERARCHY"))
        return QStringLiteral("first line is not HIERARCHY");
    std::vector<int> stack;
    int i = 1;
    bool inEnd = false;
    for (; i < lines.size(); ++i) {
        const QStringList w = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty())
            continue;
        if (w[0].startsWith(QLatin1Char('#'))) {
            comments << lines[i];
            continue;
        }
        if (w[0] == QLatin1String("ROOT") || w[0] == QLatin1String("JOINT")) {
            Joint j;
            j.name = w.value(1);
            j.parent = stack.empty() ? -1 : stack.back();
            joints.push_back(j);
        } else if (w[0] == QLatin1String("End") && w.value(1) == QLatin1String("Site")) {
            inEnd = true;
            joints.back().hasEndSite = true;
        } else if (w[0] == QLatin1String("{")) {
            if (!inEnd)
                stack.push_back(int(joints.size()) - 1);
        } else if (w[0] == QLatin1String("}")) {
            if (inEnd)
                inEnd = false;
            else
                stack.pop_back();
        } else if (w[0] == QLatin1String("OFFSET") && w.size() == 4) {
            double* o = inEnd ? joints.back().endSite : joints[size_t(stack.back())].offset;
            for (int k = 0; k < 3; ++k)
                o[k] = w[k + 1].toDouble();
        } else if (w[0] == QLatin1String("CHANNELS")) {
            joints[size_t(stack.back())].channels = w.mid(2);
            if (w.value(1).toInt() != w.size() - 2)
                return QStringLiteral("channel count does not match at line %1").arg(i + 1);
        } else if (w[0] == QLatin1String("MOTION")) {
            break;
        } else {
            return QStringLiteral("unexpected line %1: %2").arg(i + 1).arg(lines[i]);
        }
    }
    const QStringList fr = lines.value(i + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList ft = lines.value(i + 2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fr.size() != 2 || fr[0] != QLatin1String("Frames:") || ft.size() != 3 || ft[0] != QLatin1String("Frame")
        || ft[1] != QLatin1String("Time:"))
        return QStringLiteral("no Frames: / Frame Time: lines");
    frames = fr[1].toInt();
    frameTime = ft[2].toDouble();
    int channels = 0;
    for (const Joint& j : joints)
        channels += j.channels.size();
    for (int k = i + 3; k < lines.size(); ++k) {
        const QStringList w = lines[k].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty())
            continue;
        if (w.size() != channels)
            return QStringLiteral("row %1 has %2 values, not %3").arg(rows.size()).arg(w.size()).arg(channels);
        std::vector<double> row;
        for (const QString& v : w) {
            bool ok = false;
            row.push_back(v.toDouble(&ok));
            if (!ok || v.contains(QLatin1Char(',')) || v.section(QLatin1Char('.'), 1).size() != 4)
                return QStringLiteral("value %1 is not written as %.4f").arg(v);
        }
        rows.push_back(row);
    }
    return QString();
}
