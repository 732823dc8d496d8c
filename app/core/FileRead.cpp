#include "FileRead.h"
#include "PlayHistory.h"

#include <QFile>
#include <QTextStream>

FileRead::FileRead(const QString& path, PlayHistory* history, QObject* parent)
    : QObject(parent)
    , strPath(path)
    , pHistory(history)
{
}

FileRead::~FileRead()
{
    delete pFile;
}

bool FileRead::readFileKey(const QString& path, QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // A header is short; a binary or single-line giant file is refused
    // without reading all of it.
    QString line = QString::fromUtf8(file.readLine(4096));
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    if (line.isEmpty())
        return false;
    RecordHeader h;
    if (!RecordFormat::parseHeader(line, &h))
        return false;
    key = h.key;
    return true;
}

void FileRead::analysisFile()
{
    delete pFile;
    pFile = new QFile(strPath);
    bResult = false;
    struct Done
    {
        std::atomic<bool>& flag;
        ~Done() { flag.store(true, std::memory_order_release); }
    } done{bDone};
    if (!pFile->open(QIODevice::ReadOnly | QIODevice::Text)) {
        emit finished();
        return;
    }
    QTextStream in(pFile);
    const QString first = in.readLine();
    if (first.isEmpty() || !RecordFormat::parseHeader(first, &header)) {
        emit finished();
        return;
    }
    while (!in.atEnd())
        RecordFormat::parseDataLine(header, in.readLine(), pHistory);
    bResult = pHistory->size() > 0;
    pFile->close();
    emit finished();
}
