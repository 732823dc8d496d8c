#include "StreamSettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
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

    boxMqtt = new QGroupBox(this);
    auto* fm = new QFormLayout(boxMqtt);
    checkMqtt = new QCheckBox(boxMqtt);
    checkMqtt->setObjectName(QStringLiteral("checkBox_stream_mqtt"));
    fm->addRow(checkMqtt);
    editBroker = edit(boxMqtt, "edit_stream_broker");
    addRow(fm, QT_TR_NOOP("地址："), editBroker);
    editPort = edit(boxMqtt, "edit_stream_port");
    addRow(fm, QT_TR_NOOP("端口："), editPort);
    editStation = edit(boxMqtt, "edit_stream_station");
    editStation->setPlaceholderText(stream::hostName());
    addRow(fm, QT_TR_NOOP("采集站名称："), editStation);
    editUser = edit(boxMqtt, "edit_stream_user");
    addRow(fm, QT_TR_NOOP("用户名："), editUser);
    editPassword = edit(boxMqtt, "edit_stream_password");
    editPassword->setEchoMode(QLineEdit::Password);
    addRow(fm, QT_TR_NOOP("密码："), editPassword);
    editCaFile = edit(boxMqtt, "edit_stream_cafile");
    addRow(fm, QT_TR_NOOP("CA 证书（TLS）："), fileRow(boxMqtt, editCaFile));
    editCertFile = edit(boxMqtt, "edit_stream_certfile");
    addRow(fm, QT_TR_NOOP("客户端证书："), fileRow(boxMqtt, editCertFile));
    editKeyFile = edit(boxMqtt, "edit_stream_keyfile");
    addRow(fm, QT_TR_NOOP("客户端私钥："), fileRow(boxMqtt, editKeyFile));
    comboQos = new QComboBox(boxMqtt);
    comboQos->setObjectName(QStringLiteral("combo_stream_qos"));
    comboQos->addItems({QStringLiteral("0"), QStringLiteral("1")});
    addRow(fm, QT_TR_NOOP("QoS："), comboQos);
    checkRemote = new QCheckBox(boxMqtt);
    checkRemote->setObjectName(QStringLiteral("checkBox_stream_remote"));
    fm->addRow(checkRemote);
    editRemoteStations = edit(boxMqtt, "edit_stream_remotestations");
    addRow(fm, QT_TR_NOOP("采集站："), editRemoteStations);
    top->addWidget(boxMqtt);

    auto* osc = new QGroupBox(QStringLiteral("OSC (UDP)"), this);
    auto* fo = new QFormLayout(osc);
    checkOsc = new QCheckBox(osc);
    checkOsc->setObjectName(QStringLiteral("checkBox_stream_osc"));
    fo->addRow(checkOsc);
    editOscHost = edit(osc, "edit_stream_oschost");
    addRow(fo, QT_TR_NOOP("地址："), editOscHost);
    editOscPort = edit(osc, "edit_stream_oscport");
    addRow(fo, QT_TR_NOOP("端口："), editOscPort);
    spinMaxRate = new QSpinBox(osc);
    spinMaxRate->setObjectName(QStringLiteral("spin_stream_maxrate"));
    spinMaxRate->setRange(0, 1000);
    addRow(fo, QT_TR_NOOP("最大频率："), spinMaxRate);
    top->addWidget(osc);
    top->addStretch(1);
    setTexts();
}

void StreamSettingsPage::addRow(QFormLayout* form, const char* label, QWidget* field)
{
    auto* l = new QLabel(field->parentWidget());
    l->setBuddy(field);
    form->addRow(l, field);
    rowLabels.append({l, label});
}

QWidget* StreamSettingsPage::fileRow(QWidget* parent, QLineEdit* e)
{
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(e);
    auto* b = new QPushButton(w);
    connect(b, &QPushButton::clicked, e, [e] {
        const QString f = QFileDialog::getOpenFileName(nullptr, tr("选择文件"), e->text());
        if (!f.isEmpty())
            e->setText(f);
    });
    l->addWidget(b);
    browseButtons.append(b);
    return w;
}

void StreamSettingsPage::setTexts()
{
    boxMqtt->setTitle(tr("MQTT 代理服务器"));
    checkMqtt->setText(tr("将本机设备的数据发布到代理服务器"));
    checkRemote->setText(tr("显示其他采集站的设备（网络设备）"));
    editRemoteStations->setPlaceholderText(tr("全部；或用 ; 分隔的采集站名称"));
    checkOsc->setText(tr("以 OSC 发送本机设备的数据"));
    spinMaxRate->setSpecialValueText(tr("按设备频率"));
    spinMaxRate->setSuffix(tr(" 帧/秒"));
    for (const auto& row : rowLabels)
        row.first->setText(tr(row.second));
    for (QPushButton* b : browseButtons)
        b->setText(tr("浏览"));
}

void StreamSettingsPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        setTexts();
    QWidget::changeEvent(event);
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
