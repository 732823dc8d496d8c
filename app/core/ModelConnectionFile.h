#pragma once

#include <QString>
#include <map>

// The model connection file: <ModelConnection><connectionList> with one
// child per sensor type carrying the attributes sensorType and nodeName.
class ModelConnectionFile
{
public:
    using NodeNames = std::map<int, QString>;

    // Adds every entry to names (a later entry of a type replaces an earlier
    // one); a missing, unreadable or malformed file leaves names unchanged.
    static void read(const QString& path, NodeNames* names);
};
