#include "ConfigFile.h"

#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

bool ConfigFile::read(const QString& path, Options* options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QDomDocument doc;
    if (!doc.setContent(&file, false))
        return false;
    const QDomElement list = doc.documentElement().firstChildElement(QStringLiteral("OptionList"));
    Options read;
    for (QDomNode n = list.firstChild(); !n.isNull(); n = n.nextSibling()) {
        const QDomElement e = n.toElement();
        read[e.attribute(QStringLiteral("name"))] = e.attribute(QStringLiteral("value"));
    }
    for (const auto& kv : read)
        (*options)[kv.first] = kv.second;
    return true;
}

bool ConfigFile::write(const QString& path, const Options& options)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("ExportFileSetting"));
    doc.appendChild(root);
    QDomElement list = doc.createElement(QStringLiteral("OptionList"));
    root.appendChild(list);
    for (const auto& kv : options) {
        QDomElement op = doc.createElement(QStringLiteral("OpConf"));
        op.setAttribute(QStringLiteral("name"), kv.first);
        op.setAttribute(QStringLiteral("value"), kv.second);
        list.appendChild(op);
    }
    // Written whole or not at all: a full disk must not leave half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    doc.save(out, 4, QDomNode::EncodingFromDocument);
    out.flush();
    return file.commit();
}
