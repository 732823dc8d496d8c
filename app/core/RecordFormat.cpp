#include "RecordFormat.h"

#include <QCoreApplication>
#include <QStringList>
#include <cmath>

namespace {

bool on(int flag)
{
    return flag != 0;
}

double readValue(const QStringRef& part)
{
    bool ok = false;
    const float v = part.toFloat(&ok);
    return (!ok || std::isnan(v)) ? 0.0 : double(v);
}

} // namespace

QString RecordFormat::number(float v)
{
    if (std::isnan(v))
        return QStringLiteral("nan");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(double(v), 'g', 6);
}

QString RecordFormat::separatorProblem(const QString& separate)
{
    if (separate.isEmpty())
        return QCoreApplication::translate("RecordFormat", "分隔符不能为空！");
    static const QString kForbidden = QStringLiteral("/\r\n0123456789.+-eE_nNaAiIfF");
    for (const QChar c : separate)
        if (kForbidden.contains(c))
            return QCoreApplication::translate("RecordFormat",
                                               "分隔符不能包含“/”、换行、数字或数值与时间中会出现的字符（. + - e E _ n a i f），"
                                               "否则记录的文件无法读回！");
    return QString();
}

QString RecordFormat::placeholderProblem(const QString& placeholder, const QString& separate)
{
    bool sharesSeparator = false;
    for (const QChar c : separate)
        sharesSeparator = sharesSeparator || placeholder.contains(c);
    if (placeholder.isEmpty() || placeholder.contains(QLatin1Char('/')) || placeholder.contains(QLatin1Char('\r'))
        || placeholder.contains(QLatin1Char('\n')) || sharesSeparator)
        return QCoreApplication::translate("RecordFormat",
                                           "占位符不能为空，也不能包含“/”、换行或分隔符，否则记录的文件无法读回！");
    return QString();
}

RecordHeader RecordFormat::headerFor(const ExportSettings& s)
{
    RecordHeader h;
    h.separate = s.separate;
    h.placeholder = s.placeholder;
    h.datetime = s.datetime;
    h.packcount = s.packcount;
    h.accel = s.accel;
    h.gyro = s.gyro;
    h.mag = s.mag;
    h.quat = s.quat;
    h.euler = s.euler;
    h.temperature = s.temperature;
    h.barometer = s.barometer;
    h.position = s.position;
    return h;
}

QString RecordFormat::headerLine(const RecordHeader& h)
{
    const QStringList fields{h.key,
                             h.separate,
                             h.placeholder,
                             QString::number(h.datetime),
                             QString::number(h.packcount),
                             QString::number(h.accel),
                             QString::number(h.gyro),
                             QString::number(h.mag),
                             QString::number(h.quat),
                             QString::number(h.euler),
                             QString::number(h.laccel),
                             QString::number(h.temperature),
                             QString::number(h.barometer),
                             QString::number(h.altitude),
                             QString::number(h.position)};
    return fields.join(QLatin1Char('/'));
}

bool RecordFormat::parseHeader(const QString& line, RecordHeader* h)
{
    const QStringList p = line.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    if (p.size() != kHeaderFields)
        return false;
    h->key = p[0];
    h->separate = p[1];
    h->placeholder = p[2];
    int* flags[12] = {&h->datetime, &h->packcount, &h->accel,       &h->gyro,      &h->mag,      &h->quat,
                      &h->euler,    &h->laccel,    &h->temperature, &h->barometer, &h->altitude, &h->position};
    for (int i = 0; i < 12; ++i)
        *flags[i] = p[3 + i].toInt();
    return true;
}

int RecordFormat::columnCount(const RecordHeader& h)
{
    return (on(h.datetime) ? 1 : 0) + (on(h.packcount) ? 1 : 0) + 3 * on(h.accel) + 3 * on(h.gyro) + 3 * on(h.mag)
           + 4 * on(h.quat) + 3 * on(h.euler) + 3 * on(h.laccel) + on(h.temperature) + on(h.barometer)
           + on(h.altitude) + 3 * on(h.position);
}

QString RecordFormat::dataLine(const RecordHeader& h, const FrameData& f, uint packCount, const QDateTime& now)
{
    QString line;
    const QString& sep = h.separate;
    auto values = [&line, &sep](const float* v, int n) {
        for (int i = 0; i < n; ++i)
            line += number(v[i]) + sep;
    };
    auto placeholders = [&line, &sep, &h](int n) {
        for (int i = 0; i < n; ++i)
            line += h.placeholder + sep;
    };
    if (on(h.datetime))
        line += now.toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss")) + sep;
    if (on(h.packcount))
        line += QString::number(packCount) + sep;
    if (on(h.accel))
        values(f.accel, 3);
    if (on(h.gyro))
        values(f.gyro, 3);
    if (on(h.mag))
        values(f.mag, 3);
    if (on(h.quat))
        values(f.quat, 4);
    if (on(h.euler))
        values(f.euler, 3);
    if (on(h.laccel))
        placeholders(3);
    if (on(h.temperature))
        placeholders(1);
    if (on(h.barometer))
        placeholders(1);
    if (on(h.altitude))
        placeholders(1);
    if (on(h.position))
        values(f.position, 3);
    return line;
}

bool RecordFormat::parseDataLine(const RecordHeader& h, const QString& line, PlayHistory* history)
{
    // References into the line: no copy of each field.
    const QVector<QStringRef> p = line.splitRef(h.separate, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (p.size() != columnCount(h) + 1)
        return false;
    int c = (on(h.datetime) ? 1 : 0) + (on(h.packcount) ? 1 : 0);
    auto take = [&p, &c](int flag, double* out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = on(flag) ? readValue(p[c + i]) : 0.0;
        if (on(flag))
            c += n;
    };
    std::array<double, 3> accel, gyro, mag, euler, laccel;
    std::array<double, 4> quat;
    double temperature, pressure, altitude;
    take(h.accel, accel.data(), 3);
    take(h.gyro, gyro.data(), 3);
    take(h.mag, mag.data(), 3);
    take(h.quat, quat.data(), 4);
    take(h.euler, euler.data(), 3);
    take(h.laccel, laccel.data(), 3);
    take(h.temperature, &temperature, 1);
    take(h.barometer, &pressure, 1);
    take(h.altitude, &altitude, 1);
    history->vecAccel.push_back(accel);
    history->vecGyro.push_back(gyro);
    history->vecMag.push_back(mag);
    history->vecQuat.push_back(quat);
    history->vecEuler.push_back(euler);
    history->vecLAccel.push_back(laccel);
    history->vecTemperature.push_back(temperature);
    history->vecPressure.push_back(pressure);
    history->vecAltitude.push_back(altitude);
    return true;
}
