#include "ModelConnectionFile.h"

#include <QDomDocument>
#include <QFile>

void ModelConnectionFile::read(const QString& path, NodeNames* names)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QDomDocument doc;
    const bool parsed = doc.setContent(&file, false);
    file.close();
    if (!parsed || doc.isNull())
        return;
    const QDomElement list =
        doc.firstChildElement(QStringLiteral("ModelConnection")).firstChildElement(QStringLiteral("connectionList"));
    for (QDomNode entry = list.firstChild(); !entry.isNull(); entry = entry.nextSibling()) {
        // Every child counts, a comment too: it has no attributes and maps type 0.
        const QDomElement e = entry.toElement();
        const int type = e.attribute(QStringLiteral("sensorType"), QString()).toInt(nullptr, 10);
        (*names)[type] = e.attribute(QStringLiteral("nodeName"), QString());
    }
}
