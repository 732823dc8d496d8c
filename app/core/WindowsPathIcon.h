#pragma once

#include <QIcon>
#include <QString>

// Some icon paths are written the Windows way (".\Resources\…"); resolve
// them on any platform, relative to the working directory.
inline QIcon iconFromWindowsPath(const char* windowsPath)
{
    QString path = QString::fromLatin1(windowsPath);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QIcon(path);
}
