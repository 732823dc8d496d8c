#include "StreamSettingsPage.h"

#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLineEdit* edit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// A file edit with a browse button.
QWidget* fileRow(QWidget* parent, QLineEdit* e)
{
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(e);
    auto* b = new QPushButton(QCoreApplication::translate("StreamSettingsPage", "浏览"), w);
    QObject::connect(b, &QPushButton::clicked, e, [e] {
        const QString f = QFileDialog::getOpenFileName(nullptr, QCoreApplication::translate("StreamSettingsPage", "选择文件"), e->text());
        if (!f.isEmpty())
            e->setText(f);
    });
    l->addWidget(b);
    return w;
}

int portOf(const QLineEdit* e)
{
    bool ok = false;
    const int p = e->text().trimmed().toInt(&ok);
    return ok && p >= 1 && p <= 65535 ? p : -1;
}

} // namespace

StreamSettingsPage::StreamSettingsPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SeetingTab_Stream"));
    auto* top = new QVBoxLayout(this);

    auto* mqtt = new QGroupBox(QCoreApplication::translate("StreamSettingsPage", "MQTT 代理服务器"), this);
    auto* fm = new QFormLayout(mqtt);
    checkMqtt = new QCheckBox(QCoreApplication::translate("StreamSettingsPage", "将本机设备的数据发布到代理服务器"), mqtt);
    checkMqtt->setObjectName(QStringLiteral("checkBox_stream_mqtt"));
    fm->addRow(checkMqtt);
    editBroker = edit(mqtt, "edit_stream_broker");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "地址："), editBroker);
    editPort = edit(mqtt, "edit_stream_port");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "端口："), editPort);
    editStation = edit(mqtt, "edit_stream_station");
    editStation->setPlaceholderText(stream::hostName());
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "采集站名称："), editStation);
    editUser = edit(mqtt, "edit_stream_user");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "用户名："), editUser);
    editPassword = edit(mqtt, "edit_stream_password");
    editPassword->setEchoMode(QLineEdit::Password);
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "密码："), editPassword);
    editCaFile = edit(mqtt, "edit_stream_cafile");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "CA 证书（TLS）："), fileRow(mqtt, editCaFile));
    editCertFile = edit(mqtt, "edit_stream_certfile");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "客户端证书："), fileRow(mqtt, editCertFile));
    editKeyFile = edit(mqtt, "edit_stream_keyfile");
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "客户端私钥："), fileRow(mqtt, editKeyFile));
    comboQos = new QComboBox(mqtt);
    comboQos->setObjectName(QStringLiteral("combo_stream_qos"));
    comboQos->addItems({QStringLiteral("0"), QStringLiteral("1")});
    fm->addRow(QStringLiteral("QoS："), comboQos);
    checkRemote = new QCheckBox(QCoreApplication::translate("StreamSettingsPage", "显示其他采集站的设备（网络设备）"), mqtt);
    checkRemote->setObjectName(QStringLiteral("checkBox_stream_remote"));
    fm->addRow(checkRemote);
    editRemoteStations = edit(mqtt, "edit_stream_remotestations");
    editRemoteStations->setPlaceholderText(QCoreApplication::translate("StreamSettingsPage", "全部；或用 ; 分隔的采集站名称"));
    fm->addRow(QCoreApplication::translate("StreamSettingsPage", "采集站："), editRemoteStations);
    top->addWidget(mqtt);

    auto* osc = new QGroupBox(QStringLiteral("OSC (UDP)"), this);
    auto* fo = new QFormLayout(osc);
    checkOsc = new QCheckBox(QCoreApplication::translate("StreamSettingsPage", "以 OSC 发送本机设备的数据"), osc);
    checkOsc->setObjectName(QStringLiteral("checkBox_stream_osc"));
    fo->addRow(checkOsc);
    editOscHost = edit(osc, "edit_stream_oschost");
    fo->addRow(QCoreApplication::translate("StreamSettingsPage", "地址："), editOscHost);
    editOscPort = edit(osc, "edit_stream_oscport");
    fo->addRow(QCoreApplication::translate("StreamSettingsPage", "端口："), editOscPort);
    spinMaxRate = new QSpinBox(osc);
    spinMaxRate->setObjectName(QStringLiteral("spin_stream_maxrate"));
    spinMaxRate->setRange(0, 1000);
    spinMaxRate->setSpecialValueText(QCoreApplication::translate("StreamSettingsPage", "按设备频率"));
    spinMaxRate->setSuffix(QCoreApplication::translate("StreamSettingsPage", " 帧/秒"));
    fo->addRow(QCoreApplication::translate("StreamSettingsPage", "最大频率："), spinMaxRate);
    top->addWidget(osc);
    top->addStretch(1);
}

void StreamSettingsPage::setOptions(const stream::StreamOptions& o)
{
    checkMqtt->setChecked(o.mqtt);
    editBroker->setText(o.brokerHost);
    editPort->setText(o.brokerPort > 0 ? QString::number(o.brokerPort) : QString());
    editStation->setText(o.station);
    editUser->setText(o.user);
    editPassword->setText(o.password);
    editCaFile->setText(o.caFile);
    editCertFile->setText(o.certFile);
    editKeyFile->setText(o.keyFile);
    comboQos->setCurrentIndex(o.qos == 1 ? 1 : 0);
    checkRemote->setChecked(o.remote);
    editRemoteStations->setText(o.remoteStations);
    checkOsc->setChecked(o.osc);
    editOscHost->setText(o.oscHost);
    editOscPort->setText(o.oscPort > 0 ? QString::number(o.oscPort) : QString());
    spinMaxRate->setValue(std::max(0, o.maxRate));
}

stream::StreamOptions StreamSettingsPage::options() const
{
    stream::StreamOptions o;
    o.mqtt = checkMqtt->isChecked();
    o.brokerHost = editBroker->text().trimmed();
    o.brokerPort = portOf(editPort);
    o.station = editStation->text().trimmed();
    o.user = editUser->text();
    o.password = editPassword->text();
    o.caFile = editCaFile->text().trimmed();
    o.certFile = editCertFile->text().trimmed();
    o.keyFile = editKeyFile->text().trimmed();
    o.qos = comboQos->currentIndex();
    o.remote = checkRemote->isChecked();
    o.remoteStations = editRemoteStations->text().trimmed();
    o.osc = checkOsc->isChecked();
    o.oscHost = editOscHost->text().trimmed();
    o.oscPort = portOf(editOscPort);
    o.maxRate = spinMaxRate->value();
    return o;
}
