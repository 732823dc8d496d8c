#include "SkeletonFile.h"

#include <QDomDocument>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <map>

namespace {

bool parseTriple(const QString& text, Eigen::Vector3d* out)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        (*out)[i] = words[i].toDouble(&ok);
        if (!ok || !std::isfinite((*out)[i]))
            return false;
    }
    return true;
}

struct Entry
{
    int type = 0;
    QString name, parent, offset, endSite;
    bool hasParent = false, hasOffset = false;
};

QString buildFromEntries(const std::vector<Entry>& entries, Skeleton* out)
{
    std::map<QString, int> byName;
    for (int i = 0; i < int(entries.size()); ++i) {
        if (byName.count(entries[size_t(i)].name))
            return QStringLiteral("node %1 is listed twice").arg(entries[size_t(i)].name);
        byName[entries[size_t(i)].name] = i;
    }
    std::vector<SkeletonJoint> joints(entries.size());
    int roots = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        SkeletonJoint& j = joints[i];
        j.name = e.name;
        j.nodePosition = e.type - 1;
        if (e.type < 1 || e.type > 64)
            return QStringLiteral("node %1 has sensor type %2 outside 1-64").arg(e.name).arg(e.type);
        if (e.parent.isEmpty()) {
            ++roots;
        } else {
            const auto p = byName.find(e.parent);
            if (p == byName.end())
                return QStringLiteral("node %1 names an unknown parent %2").arg(e.name, e.parent);
            j.parent = p->second;
        }
        if (e.hasOffset && !parseTriple(e.offset, &j.offset))
            return QStringLiteral("node %1 has an offset that is not three numbers: \"%2\"").arg(e.name, e.offset);
        if (!e.endSite.isEmpty() && !parseTriple(e.endSite, &j.endSite))
            return QStringLiteral("node %1 has an endSite that is not three numbers: \"%2\"").arg(e.name, e.endSite);
    }
    // Walking up from every joint must reach a root within n steps.
    for (size_t i = 0; i < joints.size(); ++i) {
        int at = int(i);
        for (size_t steps = 0; at >= 0; ++steps) {
            if (steps > joints.size())
                return QStringLiteral("the parents of node %1 form a cycle").arg(joints[i].name);
            at = joints[size_t(at)].parent;
        }
    }
    if (roots != 1)
        return QStringLiteral("the skeleton needs exactly one node without parent, the file has %1").arg(roots);
    // A tip without a stated end site continues its own segment by half.
    for (size_t i = 0; i < joints.size(); ++i) {
        bool leaf = true;
        for (const SkeletonJoint& c : joints)
            leaf = leaf && c.parent != int(i);
        if (leaf && entries[i].endSite.isEmpty())
            joints[i].endSite = joints[i].offset.norm() > 0 ? Eigen::Vector3d(joints[i].offset * 0.5)
                                                            : Eigen::Vector3d(0, 10, 0);
    }
    *out = Skeleton(std::move(joints));
    return QString();
}

} // namespace

SkeletonFile::Result SkeletonFile::read(const QString& path)
{
    Result r;
    r.skeleton = Skeleton::defaultBiped();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        r.error = QStringLiteral("cannot open %1").arg(path);
        return r;
    }
    QDomDocument doc;
    QString message;
    int line = 0;
    if (!doc.setContent(&file, false, &message, &line)) {
        r.error = QStringLiteral("%1 is not XML (line %2: %3)").arg(path).arg(line).arg(message);
        return r;
    }
    const QDomElement list =
        doc.firstChildElement(QStringLiteral("ModelConnection")).firstChildElement(QStringLiteral("connectionList"));
    // Names by type as the name table reads them: later entries win, an
    // empty name too (the node then has none, and the biped's own is used).
    std::map<int, Entry> byType;
    bool described = false;
    for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        Entry entry;
        entry.type = e.attribute(QStringLiteral("sensorType")).toInt(nullptr, 10);
        entry.name = e.attribute(QStringLiteral("nodeName"));
        entry.hasParent = e.hasAttribute(QStringLiteral("parent"));
        entry.hasOffset = e.hasAttribute(QStringLiteral("offset"));
        entry.parent = e.attribute(QStringLiteral("parent")).trimmed();
        entry.offset = e.attribute(QStringLiteral("offset"));
        entry.endSite = e.attribute(QStringLiteral("endSite"));
        described = described || entry.hasParent || entry.hasOffset;
        if (entry.name.isEmpty())
            byType.erase(entry.type);
        else
            byType[entry.type] = entry;
    }
    // A BVH joint's name is one word.
    for (const auto& kv : byType) {
        if (std::any_of(kv.second.name.begin(), kv.second.name.end(), [](QChar c) { return c.isSpace(); })) {
            r.error = path + QStringLiteral(": node name \"%1\" contains whitespace, which a BVH file cannot hold; using the default biped")
                                 .arg(kv.second.name);
            return r;
        }
    }
    if (!described) {
        QStringList names;
        for (int type = 1; type <= 17; ++type)
            names << (byType.count(type) ? byType[type].name : QString());
        r.skeleton = Skeleton::defaultBiped(names);
        return r;
    }
    std::vector<Entry> entries;
    for (const auto& kv : byType)
        entries.push_back(kv.second);
    Skeleton built;
    r.error = buildFromEntries(entries, &built);
    if (r.error.isEmpty()) {
        r.skeleton = built;
        r.fromFile = true;
    } else {
        r.error = path + QStringLiteral(": ") + r.error + QStringLiteral("; using the default biped");
    }
    return r;
}
