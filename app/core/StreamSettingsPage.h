#pragma once

#include "StreamOptions.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// The "Streaming" page of the preferences: publishing to an MQTT broker,
// OSC over UDP, and showing other stations' devices.
class StreamSettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit StreamSettingsPage(QWidget* parent = nullptr);

    void setOptions(const stream::StreamOptions& options);
    // What the page shows; a port that is not a number comes back as -1 so
    // that StreamOptions::validate() names it.
    stream::StreamOptions options() const;

    QCheckBox* checkMqtt;
    QLineEdit* editBroker;
    QLineEdit* editPort;
    QLineEdit* editStation;
    QLineEdit* editUser;
    QLineEdit* editPassword;
    QLineEdit* editCaFile;
    QLineEdit* editCertFile;
    QLineEdit* editKeyFile;
    QComboBox* comboQos;
    QCheckBox* checkOsc;
    QLineEdit* editOscHost;
    QLineEdit* editOscPort;
    QSpinBox* spinMaxRate;
    QCheckBox* checkRemote;
    QLineEdit* editRemoteStations;
};
