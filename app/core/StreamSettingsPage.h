#pragma once

#include "StreamOptions.h"

#include <QList>
#include <QPair>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
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

protected:
    void changeEvent(QEvent* event) override;

private:
    // A form row whose label is worded again on a language change.
    void addRow(QFormLayout* form, const char* label, QWidget* field);
    // A file edit with a browse button.
    QWidget* fileRow(QWidget* parent, QLineEdit* edit);
    void setTexts();

    QGroupBox* boxMqtt;
    QList<QPair<QLabel*, const char*>> rowLabels;  // label, its untranslated text
    QList<QPushButton*> browseButtons;
};
