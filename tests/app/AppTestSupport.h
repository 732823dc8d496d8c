#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A working directory with a copy of Resources/, made current, as the
// program expects to run in. Its option file chooses Chinese.
class AppWorkDir
{
public:
    AppWorkDir();
    bool isValid() const { return ok; }
    QString path() const { return dir.path(); }
    // Sets one option in the copied Resources/config.xml.
    void setOption(const QString& name, const QString& value);

private:
    QTemporaryDir dir;
    bool ok = false;
};
