#include "StreamOptions.h"
#include "StreamPayload.h"

#include <QFileInfo>
#include <QStringList>
#include <unistd.h>

namespace stream {

namespace {

QString value(const StreamOptions::Options& o, const char* name, const QString& fallback)
{
    const auto it = o.find(QString::fromLatin1(name));
    return it == o.end() || it->second.isEmpty() ? fallback : it->second;
}

bool flag(const StreamOptions::Options& o, const char* name)
{
    return value(o, name, "0").trimmed().toInt() != 0;
}

// A port text: 1–65535, else -1 (so validate() reports it).
int port(const QString& text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok, 10);
    return ok && p >= 1 && p <= 65535 ? p : -1;
}

} // namespace

QString hostName()
{
    char buf[256] = {0};
    gethostname(buf, sizeof buf - 1);
    const QString h = QString::fromLocal8Bit(buf);
    QString clean;
    for (QChar c : h)
        clean += (c == '/' || c == '+' || c == '#' || c.isSpace()) ? QChar('_') : c;
    return clean.isEmpty() ? QStringLiteral("station") : clean.left(kMaxStationLength);
}

StreamOptions StreamOptions::fromOptions(const Options& o, QString*)
{
    StreamOptions s;
    s.mqtt = flag(o, "stream_mqtt");
    s.brokerHost = value(o, "stream_broker", s.brokerHost).trimmed();
    s.brokerPort = port(value(o, "stream_port", "1883"));
    s.station = value(o, "stream_station", QString()).trimmed();
    s.user = value(o, "stream_user", QString());
    s.password = value(o, "stream_password", QString());
    s.caFile = value(o, "stream_cafile", QString());
    s.certFile = value(o, "stream_certfile", QString());
    s.keyFile = value(o, "stream_keyfile", QString());
    {
        bool ok = false;
        s.qos = value(o, "stream_qos", "0").trimmed().toInt(&ok);
        if (!ok)
            s.qos = -1;
    }
    s.osc = flag(o, "stream_osc");
    s.oscHost = value(o, "stream_oschost", s.oscHost).trimmed();
    s.oscPort = port(value(o, "stream_oscport", "9000"));
    {
        bool ok = false;
        s.maxRate = value(o, "stream_maxrate", "0").trimmed().toInt(&ok);
        if (!ok)
            s.maxRate = -1;
    }
    s.remote = flag(o, "stream_remote");
    s.remoteStations = value(o, "stream_remotestations", QString()).trimmed();
    return s;
}

void StreamOptions::store(Options* o) const
{
    (*o)["stream_mqtt"] = mqtt ? "1" : "0";
    (*o)["stream_broker"] = brokerHost;
    (*o)["stream_port"] = QString::number(brokerPort);
    (*o)["stream_station"] = station;
    (*o)["stream_user"] = user;
    (*o)["stream_password"] = password;
    (*o)["stream_cafile"] = caFile;
    (*o)["stream_certfile"] = certFile;
    (*o)["stream_keyfile"] = keyFile;
    (*o)["stream_qos"] = QString::number(qos);
    (*o)["stream_osc"] = osc ? "1" : "0";
    (*o)["stream_oschost"] = oscHost;
    (*o)["stream_oscport"] = QString::number(oscPort);
    (*o)["stream_maxrate"] = QString::number(maxRate);
    (*o)["stream_remote"] = remote ? "1" : "0";
    (*o)["stream_remotestations"] = remoteStations;
}

QString StreamOptions::effectiveStation() const
{
    return station.isEmpty() ? hostName() : station;
}

QString StreamOptions::validate() const
{
    if (mqtt || remote) {
        if (brokerHost.isEmpty() || brokerHost.contains(QChar(' ')))
            return tr("代理服务器地址无效：请填写主机名或IP地址");
        if (brokerPort < 1)
            return tr("代理服务器端口无效：应为 1 到 65535 之间的整数");
        if (!station.isEmpty() && !isValidStation(station))
            return tr("采集站名称无效：不能为空白，不能含有 / + # 或空格，最多 64 个字符");
        if (qos != 0 && qos != 1)
            return tr("QoS 只能是 0 或 1");
        if (password.size() && user.isEmpty())
            return tr("填写了密码但没有用户名");
        if (!caFile.isEmpty() && !QFileInfo(caFile).isReadable())
            return tr("CA 证书文件不存在或不可读：%1").arg(caFile);
        if (certFile.isEmpty() != keyFile.isEmpty())
            return tr("客户端证书与私钥必须同时填写");
        if (!certFile.isEmpty() && caFile.isEmpty())
            return tr("使用客户端证书时必须同时填写 CA 证书文件");
        if (!certFile.isEmpty() && !QFileInfo(certFile).isReadable())
            return tr("客户端证书文件不存在或不可读：%1").arg(certFile);
        if (!keyFile.isEmpty() && !QFileInfo(keyFile).isReadable())
            return tr("客户端私钥文件不存在或不可读：%1").arg(keyFile);
        for (const QString& s : remoteStations.split(QChar(';'), Qt::SkipEmptyParts))
            if (!isValidStation(s.trimmed()))
                return tr("要显示的采集站名称无效：%1").arg(s);
    }
    if (osc) {
        if (oscHost.isEmpty() || oscHost.contains(QChar(' ')))
            return tr("OSC 目标地址无效：请填写主机名或IP地址");
        if (oscPort < 1)
            return tr("OSC 端口无效：应为 1 到 65535 之间的整数");
    }
    if (maxRate < 0 || maxRate > 1000)
        return tr("最大发送频率无效：应为 0（按设备频率）到 1000 之间的整数");
    return QString();
}

bool StreamOptions::operator==(const StreamOptions& o) const
{
    return mqtt == o.mqtt && brokerHost == o.brokerHost && brokerPort == o.brokerPort && station == o.station &&
           user == o.user && password == o.password && caFile == o.caFile && certFile == o.certFile &&
           keyFile == o.keyFile && qos == o.qos && osc == o.osc && oscHost == o.oscHost && oscPort == o.oscPort &&
           maxRate == o.maxRate && remote == o.remote && remoteStations == o.remoteStations;
}

bool parseHostPort(const QString& text, int defaultPort, QString* host, int* port)
{
    QString h = text.trimmed();
    int p = defaultPort;
    if (h.startsWith('[')) {
        const int close = h.indexOf(']');
        if (close < 0)
            return false;
        const QString rest = h.mid(close + 1);
        h = h.mid(1, close - 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(':'))
                return false;
            bool ok = false;
            p = rest.mid(1).toInt(&ok);
            if (!ok)
                return false;
        }
    } else if (h.count(':') == 1) {
        bool ok = false;
        p = h.section(':', 1).toInt(&ok);
        h = h.section(':', 0, 0);
        if (!ok)
            return false;
    }
    if (h.isEmpty() || p < 1 || p > 65535)
        return false;
    *host = h;
    *port = p;
    return true;
}

} // namespace stream
