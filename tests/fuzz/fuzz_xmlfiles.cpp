// The option file and the model connection file.
#include "ConfigFile.h"
#include "ModelConnectionFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("input.xml"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ConfigFile::Options options;
    ConfigFile::read(path, &options);
    ModelConnectionFile::NodeNames names;
    ModelConnectionFile::read(path, &names);
    return 0;
}
