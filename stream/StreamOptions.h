#pragma once

#include <QCoreApplication>
#include <QString>
#include <map>

namespace stream {

// The streaming options of the option file (Resources/config.xml). Every
// name begins with "stream_"; a missing option reads as its default.
//
//   stream_mqtt        "1": publish to the broker          default "0"
//   stream_broker      broker host                         "localhost"
//   stream_port        broker port                         "1883"
//   stream_station     station name                        the host name
//   stream_user / stream_password                          empty: anonymous
//   stream_cafile      CA file: TLS on when given          empty
//   stream_certfile / stream_keyfile  client certificate   empty
//   stream_qos         "0" or "1"                          "0"
//   stream_osc         "1": send OSC bundles               "0"
//   stream_oschost / stream_oscport                        "127.0.0.1" / "9000"
//   stream_maxrate     OSC frames/s per device, 0 = device rate   "0"
//   stream_remote      "1": show the devices of other stations  "0"
//   stream_remotestations  stations to show, ';'-separated, empty = all
struct StreamOptions
{
    bool mqtt = false;
    QString brokerHost = QStringLiteral("localhost");
    int brokerPort = 1883;
    QString station;  // empty: the host name
    QString user;
    QString password;
    QString caFile;
    QString certFile;
    QString keyFile;
    int qos = 0;
    bool osc = false;
    QString oscHost = QStringLiteral("127.0.0.1");
    int oscPort = 9000;
    int maxRate = 0;
    bool remote = false;
    QString remoteStations;

    using Options = std::map<QString, QString>;
    // Reads the options; a value that does not parse is kept as given so
    // that validate() can name it.
    static StreamOptions fromOptions(const Options& options, QString* error = nullptr);
    void store(Options* options) const;

    // The station name to use (the host name when none is set).
    QString effectiveStation() const;

    // Empty when the options can be used, else a message for the user.
    QString validate() const;

    bool operator==(const StreamOptions& o) const;
    bool operator!=(const StreamOptions& o) const { return !(*this == o); }

    // validate()'s messages reach the user: translated.
    Q_DECLARE_TR_FUNCTIONS(stream::StreamOptions)
};

// "host", "host:port" or "[v6]:port" → host and port; false when the port
// is not 1–65535 or the host is empty.
bool parseHostPort(const QString& text, int defaultPort, QString* host, int* port);

QString hostName();

} // namespace stream
