#include "BvhCommand.h"
#include "CliChoices.h"
#include "ConfigFile.h"
#include "SignalStop.h"
#include "SkeletonFile.h"
#include "SuitCapture.h"
#include "kvusb.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

int failBvh(const QString& message)
{
    std::fprintf(stderr, "strideloom-cli: %s\n", qPrintable(message));
    return 1;
}

bool positive(const QString& text, double* value, bool zeroAllowed)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value) && (*value > 0 || (zeroAllowed && *value == 0));
}

// Where the program has its model file: the working directory, then beside
// the option file, the executable (build tree) or the installation.
QString findModelFile(const QString& optionFile)
{
    const QString app = QCoreApplication::applicationDirPath();
    const QStringList candidates = {QStringLiteral("Resources/stdBipedModel.mcc"),
                                    QFileInfo(optionFile).dir().filePath(QStringLiteral("stdBipedModel.mcc")),
                                    app + QStringLiteral("/Resources/stdBipedModel.mcc"),
                                    app + QStringLiteral("/../share/strideloom/Resources/stdBipedModel.mcc")};
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile())
            return QDir::cleanPath(c);
    return QString();
}

} // namespace

int runBvh(FILE* out, const QCommandLineParser& cli, const QString& optionFile)
{
    bool ok = false;
    const unsigned suitNumber = cli.value("suit").toUInt(&ok, 0);
    if (!cli.isSet("suit") || !ok || suitNumber == 0 || suitNumber > 0xFFFFFF)
        return failBvh("bvh needs --suit NUMBER (a 24-bit suit number such as 0x1234)");
    double seconds = 10, tposeSeconds = 3;
    if (cli.isSet("seconds") && !positive(cli.value("seconds"), &seconds, false))
        return failBvh("--seconds must be a positive number");
    if (cli.isSet("tpose-seconds") && !positive(cli.value("tpose-seconds"), &tposeSeconds, true))
        return failBvh("--tpose-seconds must be 0 or more");

    ConfigFile::Options options;
    ConfigFile::read(optionFile, &options);
    const QString frameOption = options[QStringLiteral("bvhframetime")];
    double frameTime = SuitCapture::frameTimeFromOption(frameOption, &ok);
    if (!ok && !frameOption.isEmpty() && !cli.isSet("frame-time"))
        std::fprintf(stderr, "strideloom-cli: option bvhframetime \"%s\" is not a number of seconds from 0.001 to 1; using 1/60 s\n",
                     qPrintable(frameOption));
    if (cli.isSet("frame-time") && (!positive(cli.value("frame-time"), &frameTime, false) ||
                                    frameTime < SuitCapture::kMinFrameTime || frameTime > 1))
        return failBvh("--frame-time must be a number of seconds from 0.001 to 1");

    const QString modelFile = findModelFile(optionFile);
    if (modelFile.isEmpty())
        return failBvh("no model file Resources/stdBipedModel.mcc in the working directory, beside the option file, "
                       "beside the executable or in the installation's share/strideloom");
    const SkeletonFile::Result model = SkeletonFile::read(modelFile);
    if (!model.error.isEmpty())
        std::fprintf(stderr, "strideloom-cli: %s\n", qPrintable(model.error));

    QString path = cli.value("out");
    if (path.isEmpty()) {
        QString dir, error;
        if (!cli::recordingDirectory(cli, options, &dir, &error))
            return failBvh(error);
        QString name = options[QStringLiteral("filename")];
        if (name.isEmpty())
            name = ConfigFile::defaultExportSettings().filename;
        path = SuitCapture::fileNameFor(dir, name, QDateTime::currentDateTime(), suitNumber);
    }

    // newSuitCreated comes from a read worker and is queued to this thread.
    qRegisterMetaType<uint32_t>("uint32_t");
    kvusb usb;
    std::unique_ptr<SuitCapture> capture;
    QEventLoop loop;
    QString error;  // why nothing could be recorded
    bool started = false;
    // Ctrl-C ends a recording early but whole; before it, nothing is written.
    SignalStop stop;
    QObject::connect(&stop, &SignalStop::stopRequested, &loop, [&] {
        if (capture && capture->isRecording())
            capture->stopBvh();
        else if (!started)
            error = QStringLiteral("interrupted before the recording began");
        loop.quit();
    });
    const auto record = [&] {
        QObject::connect(capture.get(), &SuitCapture::sigBvhFinished, &loop, &QEventLoop::quit);
        QObject::connect(capture.get(), &SuitCapture::sigBvhFailed, &loop, &QEventLoop::quit);
        started = true;
        // The recording ends itself after --seconds of the suit's clock.
        if (!capture->startBvh(path, frameTime, &error, seconds))
            loop.quit();
    };
    QObject::connect(&usb, &kvusb::newSuitCreated, &loop, [&](MotionCaptureSuit_Property, uint32_t number) {
        MotionCaptureSuit* suit = usb.getMotionCaptureSuit(number);
        if (number != suitNumber || capture || !suit)
            return;
        capture = std::make_unique<SuitCapture>(model.skeleton, suit);
        std::fprintf(stderr, "suit %u found; stand in the T-pose for %g s\n", suitNumber, tposeSeconds);
        if (tposeSeconds == 0) {
            record();
            return;
        }
        QObject::connect(capture.get(), &SuitCapture::sigAlignmentFailed, &loop, [&](const QString& why) {
            error = why;
            loop.quit();
        });
        QObject::connect(capture.get(), &SuitCapture::sigStateChanged, &loop, [&](int state) {
            // Aligned comes again when the walk settles the heading.
            if (state == SuitCapture::Aligned && !started)
                record();
        });
        const int collectMs = int(std::lround(std::min(tposeSeconds, 1.0) * 1000));
        capture->startTPose(int(std::lround(tposeSeconds * 1000)) - collectMs, collectMs);
    });
    // A suit that never shows up ends the wait.
    QTimer::singleShot(10000, &loop, [&] {
        if (!capture) {
            error = QStringLiteral("suit %1 (0x%2) did not appear within 10 s").arg(suitNumber).arg(suitNumber, 0, 16);
            loop.quit();
        }
    });
    usb.initUSB();
    loop.exec();
    if (!started || !capture)
        return failBvh(error.isEmpty() ? QStringLiteral("nothing was recorded") : error);
    // Read after the stop: the file is closed and its count final.
    const BvhOutcome outcome = capture->stopBvh();
    if (!outcome.ok)
        return failBvh(outcome.error.isEmpty() ? QStringLiteral("the recording failed") : outcome.error);
    if (!outcome.headingKnown)
        std::fprintf(stderr, "strideloom-cli: the nodes sent no locations and no walking was seen, so the heading "
                             "is unknown: the file may not face the screen\n");
    QFileInfo written(outcome.path);
    // QString::number writes a "." whatever the locale.
    std::fprintf(out, "bvh %s frames %lld frame-time %s\n", qPrintable(written.absoluteFilePath()),
                 (long long)outcome.frames, qPrintable(QString::number(frameTime, 'g', 9)));
    return 0;
}
