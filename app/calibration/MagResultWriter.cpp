#include "MagResultWriter.h"
#include "DeviceConfToShow.h"
#include "SLDevice.h"

#include <QDebug>
#include <cstring>

namespace {

// A lost configuration reply is asked for once more before giving up.
constexpr int kConfigRequests = 2;

// Failures are kept untranslated and worded when shown, in the language then
// in force.
const char* const kNotSerial = QT_TRANSLATE_NOOP("MagResultWriter", "该设备不是串口设备，校准结果无法写入设备");
const char* const kNotConfirmed = QT_TRANSLATE_NOOP("MagResultWriter", "设备未确认写入，校准结果未写入设备");
const char* const kDisconnected = QT_TRANSLATE_NOOP("MagResultWriter", "设备已断开，校准结果未写入设备");
const char* const kConfigUnread = QT_TRANSLATE_NOOP("MagResultWriter", "未能读取设备配置，校准结果未写入设备");

QString number(float v)
{
    return QString::number(double(v), 'g', 6);
}

QString triple(const float* v)
{
    return number(v[0]) + " " + number(v[1]) + " " + number(v[2]);
}

} // namespace

MagResultWriter::MagResultWriter(SLDevice* device, RecordLookup lookup, QObject* parent)
    : QObject(parent)
    , pDevice(device)
    , liveRecord(std::move(lookup))
{
}

MagResultWriter::~MagResultWriter() = default;

void MagResultWriter::submit(DeviceConfToShow* record)
{
    auto job = std::make_shared<Job>();
    record->getMagCalibration(job->matrix, job->bias);
    job->sourceType = record->nDevType;
    job->timer = std::make_unique<QTimer>();
    job->timer->setSingleShot(true);
    const QString key = record->strKey;
    connect(job->timer.get(), &QTimer::timeout, this, [this, key] { onTimeout(key); });
    jobs[key] = job;
    if (record->nDevType != SOURCE_SERIAL || !pDevice) {
        fail(key, *job, kNotSerial);
        return;
    }
    start(key, *job);
}

bool MagResultWriter::retry(const QString& key)
{
    const auto it = jobs.find(key);
    if (it == jobs.end() || it.value()->stage != Failed)
        return false;
    if (it.value()->sourceType != SOURCE_SERIAL || !recordOf(key, *it.value()) || !pDevice)
        return false;
    start(key, *it.value());
    return true;
}

void MagResultWriter::start(const QString& key, Job& job)
{
    job.failure = nullptr;
    job.configRequests = 1;
    setStage(key, job, ReadingConfig);
    log(key, job, tr("读取设备配置，准备写入校准结果..."));
    pDevice->SerialPortCmd_REQCONFIG(key);
    job.timer->start(kAnswerTimeoutMs);
}

MagResultWriter::Stage MagResultWriter::stage(const QString& key) const
{
    const auto it = jobs.find(key);
    return it == jobs.end() ? NoResult : it.value()->stage;
}

bool MagResultWriter::isWriting(const QString& key) const
{
    const Stage s = stage(key);
    return s == ReadingConfig || s == Writing;
}

QString MagResultWriter::failureText(const QString& key) const
{
    const auto it = jobs.find(key);
    return it == jobs.end() || !it.value()->failure ? QString() : tr(it.value()->failure);
}

QStringList MagResultWriter::unwrittenKeys() const
{
    QStringList keys;
    for (auto it = jobs.begin(); it != jobs.end(); ++it)
        if (it.value()->stage != Written)
            keys << it.key();
    return keys;
}

void MagResultWriter::onConfigRead(QString key, DevSetting& read)
{
    const auto it = jobs.find(key);
    if (it == jobs.end() || it.value()->stage != ReadingConfig)
        return;
    Job& job = *it.value();
    // Everything but the magnetometer block is the device's own, as it just
    // reported it.
    _device_setting setting = read;
    setting.ctrl[0] = static_cast<uint8_t>((setting.ctrl[0] & 0xFC) | 0x04);
    std::memcpy(setting.cal[2].matrix, job.matrix, sizeof(job.matrix));
    std::memcpy(setting.cal[2].bias, job.bias, sizeof(job.bias));
    log(key, job, QStringLiteral("update mag offset:"));
    log(key, job, triple(setting.cal[2].bias));
    log(key, job, QStringLiteral("update mag matrix:"));
    for (int row = 0; row < 3; ++row)
        log(key, job, triple(setting.cal[2].matrix + 3 * row));
    qDebug().noquote() << "----------send--------------";
    qDebug().noquote() << " -bias:" << triple(setting.cal[2].bias);
    for (int row = 0; row < 3; ++row)
        qDebug().noquote() << " -scall:" << triple(setting.cal[2].matrix + 3 * row);
    qDebug().noquote() << "----------send--------------";
    setStage(key, job, Writing);
    pDevice->SerialPortCmd_WRITECONFIG(key, setting);
    job.timer->start(kAnswerTimeoutMs);
}

void MagResultWriter::onWriteResult(QString key, bool ok)
{
    const auto it = jobs.find(key);
    if (it == jobs.end() || it.value()->stage != Writing)
        return;
    Job& job = *it.value();
    job.timer->stop();
    if (!ok) {
        fail(key, job, kNotConfirmed);
        return;
    }
    setStage(key, job, Written);
    log(key, job, tr("校准结果已写入设备"));
}

void MagResultWriter::onDeviceRemoved(QString key)
{
    const auto it = jobs.find(key);
    if (it == jobs.end())
        return;
    Job& job = *it.value();
    if (job.stage == ReadingConfig || job.stage == Writing)
        fail(key, job, kDisconnected);
}

void MagResultWriter::onTimeout(const QString& key)
{
    const auto it = jobs.find(key);
    if (it == jobs.end())
        return;
    Job& job = *it.value();
    if (job.stage == ReadingConfig && job.configRequests < kConfigRequests && recordOf(key, job)) {
        ++job.configRequests;
        pDevice->SerialPortCmd_REQCONFIG(key);
        job.timer->start(kAnswerTimeoutMs);
        return;
    }
    if (job.stage == ReadingConfig)
        fail(key, job, kConfigUnread);
    else if (job.stage == Writing)
        fail(key, job, kNotConfirmed);
}

void MagResultWriter::fail(const QString& key, Job& job, const char* failure)
{
    job.timer->stop();
    job.failure = failure;
    const QString text = tr(failure);
    setStage(key, job, Failed);
    log(key, job, text);
    qDebug().noquote() << "mag calibration of" << key << "not written:" << text;
    emit sigFailed(key, text);
}

void MagResultWriter::setStage(const QString& key, Job& job, Stage s)
{
    job.stage = s;
    if (DeviceConfToShow* record = recordOf(key, job))
        record->bWritingResult = s == ReadingConfig || s == Writing;
}

DeviceConfToShow* MagResultWriter::recordOf(const QString& key, const Job& job) const
{
    return liveRecord ? liveRecord(key, job.sourceType) : nullptr;
}

void MagResultWriter::log(const QString& key, const Job& job, const QString& line)
{
    if (DeviceConfToShow* record = recordOf(key, job))
        record->appendLog(line);
}
