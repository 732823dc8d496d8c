// The English translation is complete and up to date: every text in the
// sources has a finished translation that keeps the text's placeholders, and
// the committed file holds exactly the texts lupdate finds in the sources.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message
{
    QString context;
    QString source;
    QString type;            // "unfinished", "vanished", "obsolete" or empty
    QStringList translations;  // one, or one per plural form
    QString id() const { return context + QStringLiteral(": \"") + source + QLatin1Char('"'); }
};

QList<Message> readTs(const QString& path, QString* error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open ") + path;
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    bool inTranslation = false, forms = false;
    QString text;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringRef name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                m = Message();
                m.context = context;
            } else if (name == QLatin1String("source")) {
                m.source = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                m.type = xml.attributes().value(QLatin1String("type")).toString();
                inTranslation = true;
                forms = false;
                text.clear();
            } else if (name == QLatin1String("numerusform")) {
                forms = true;
                m.translations << xml.readElementText();
            }
        } else if (xml.isCharacters() && inTranslation) {
            text += xml.text();
        } else if (xml.isEndElement() && name == QLatin1String("translation")) {
            inTranslation = false;
            if (!forms)
                m.translations << text;
        } else if (xml.isEndElement() && name == QLatin1String("message")) {
            messages << m;
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return messages;
}

QSet<QString> placeholders(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("%(\\d+|n)"));
    QSet<QString> found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured(0);
    return found;
}

const QString kCommitted = QStringLiteral(STRIDELOOM_SOURCE_DIR "/translations/strideloom_en.ts");

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void everyTextHasAFinishedTranslation()
    {
        QString error;
        const QList<Message> messages = readTs(kCommitted, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(messages.size() > 100);
        QStringList faults;
        for (const Message& m : messages) {
            if (!m.type.isEmpty()) {
                faults << m.type + QStringLiteral(": ") + m.id();
                continue;
            }
            for (const QString& t : m.translations) {
                if (t.trimmed().isEmpty())
                    faults << QStringLiteral("empty: ") + m.id();
                else if (placeholders(t) != placeholders(m.source))
                    faults << QStringLiteral("placeholders differ: ") + m.id() + QStringLiteral(" -> \"") + t + '"';
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("translate in translations/strideloom_en.ts:\n  ")
                                              + faults.join(QStringLiteral("\n  "))));
    }

    void theCommittedFileHoldsTheTextsOfTheSources()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString fresh = tmp.filePath(QStringLiteral("fresh.ts"));
        QProcess lupdate;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LUPDATE"), QStringLiteral(STRIDELOOM_LUPDATE));
        lupdate.setProcessEnvironment(env);
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral("bash"), {QStringLiteral(STRIDELOOM_SOURCE_DIR "/scripts/update-translations.sh"), fresh});
        QVERIFY(lupdate.waitForFinished(120000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

        QString error;
        QSet<QString> inSources, committed;
        for (const Message& m : readTs(fresh, &error))
            inSources << m.id();
        for (const Message& m : readTs(kCommitted, &error))
            committed << m.id();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList faults;
        for (const QString& id : inSources)
            if (!committed.contains(id))
                faults << QStringLiteral("new in the sources: ") + id;
        for (const QString& id : committed)
            if (!inSources.contains(id))
                faults << QStringLiteral("no longer in the sources: ") + id;
        faults.sort();
        QVERIFY2(faults.isEmpty(),
                 qPrintable(QStringLiteral("run scripts/update-translations.sh and translate what is new:\n  ")
                            + faults.join(QStringLiteral("\n  "))));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
