#include "Recorder.h"

#include <QFile>
#include <QTextStream>

struct Recorder::OpenFile
{
    QFile file;
    QTextStream out;
    bool failed = false;
};

Recorder::Recorder() = default;

Recorder::~Recorder()
{
    stop();
}

QString Recorder::fileNameFor(const QString& dir, const QString& key) const
{
    QString part = key;
    part.replace(QLatin1Char('/'), QLatin1Char('_'));
    return dir + "/" + stcExport.filename + "_" + stamp + "_" + part + "." + stcExport.filesuffix;
}

QStringList Recorder::start(const QString& dir, const QStringList& keys, const ExportSettings& settings,
                            const QDateTime& startTime)
{
    std::lock_guard<std::mutex> lock(mutexFiles);
    files.clear();
    packCounts.clear();
    stcExport = settings;
    stcExport.laccel = 0;
    stcExport.altitude = 0;
    stamp = startTime.toString(QStringLiteral("yyyyMMddhhmmss"));
    header = RecordFormat::headerFor(stcExport);
    return openFiles(dir, keys);
}

QStringList Recorder::add(const QString& dir, const QStringList& keys)
{
    std::lock_guard<std::mutex> lock(mutexFiles);
    QStringList fresh;
    for (const QString& key : keys)
        if (!files.contains(key))
            fresh << key;
    return openFiles(dir, fresh);
}

QStringList Recorder::openFiles(const QString& dir, const QStringList& keys)
{
    // An empty directory would put the files into the file-system root.
    if (dir.trimmed().isEmpty())
        return keys;
    QStringList failed;
    for (const QString& key : keys) {
        const QString path = fileNameFor(dir, key);
        if (QFile::exists(path))
            QFile::remove(path);
        auto f = std::make_shared<OpenFile>();
        f->file.setFileName(path);
        if (!f->file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            failed << key;
            continue;
        }
        f->out.setDevice(&f->file);
        RecordHeader h = header;
        h.key = key.section(QLatin1Char('/'), -1);
        f->out << RecordFormat::headerLine(h) << '\n';
        f->out.flush();
        // A disk that is already full fails here, not at the first line.
        if (f->out.status() != QTextStream::Ok || f->file.error() != QFileDevice::NoError) {
            f->file.close();
            failed << key;
            continue;
        }
        files.insert(key, f);
        packCounts.insert(key, 1);
    }
    return failed;
}

void Recorder::stop()
{
    std::lock_guard<std::mutex> lock(mutexFiles);
    for (const auto& f : files) {
        f->out.flush();
        f->file.close();
    }
    files.clear();
    packCounts.clear();
}

bool Recorder::isRecording(const QString& key) const
{
    std::lock_guard<std::mutex> lock(mutexFiles);
    return files.contains(key);
}

bool Recorder::writeFrame(const QString& key, const FrameData& frame)
{
    QString failedPath;
    {
        std::lock_guard<std::mutex> lock(mutexFiles);
        auto it = files.find(key);
        if (it == files.end())
            return false;
        OpenFile& f = **it;
        uint& count = packCounts[key];
        f.out << RecordFormat::dataLine(header, frame, count, QDateTime::currentDateTime()) << '\n';
        ++count;
        // Every line goes to the file as soon as it is complete.
        f.out.flush();
        if (f.out.status() != QTextStream::Ok || f.file.error() != QFileDevice::NoError) {
            failedPath = f.file.fileName();
            f.file.close();
            files.erase(it);
            packCounts.remove(key);
        }
    }
    if (failedPath.isEmpty())
        return true;
    emit sigWriteFailed(key, failedPath);
    return false;
}
