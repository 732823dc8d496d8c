// The English translation is complete and up to date: every text in the
// sources has a finished translation that keeps the text's placeholders and
// holds no Chinese, the committed file holds exactly the texts lupdate finds
// in the sources, and no Chinese text of the program bypasses translation.

#include <QDirIterator>
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

// Chinese characters and full-width punctuation.
const QRegularExpression kChinese(QStringLiteral("[\\x{2E80}-\\x{9FFF}\\x{F900}-\\x{FAFF}\\x{FF00}-\\x{FFEF}]"));

// Chinese string literals outside a translation call, as "file:line: text".
// Comments and literals are read as tokens so that a bracket inside them does
// not count; a literal belongs to the innermost named call around it.
QStringList untranslatedChinese(const QString& path, const QString& code, const QSet<QString>& allowed)
{
    static const QRegularExpression token(QStringLiteral(
        "//[^\\n]*|/\\*[\\s\\S]*?\\*/|\"(?:\\\\.|[^\"\\\\\\n])*\"|'(?:\\\\.|[^'\\\\\\n])*'|(\\w+)\\s*\\(|[()]"));
    static const QSet<QString> translating{"tr", "translate", "QT_TR_NOOP", "QT_TRANSLATE_NOOP", "QT_TR_N_NOOP",
                                           "QT_TRANSLATE_N_NOOP"};
    QStringList found;
    QStringList calls;
    for (auto it = token.globalMatch(code); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString t = m.captured(0);
        if (t.endsWith(QLatin1Char('('))) {
            calls << m.captured(1);
        } else if (t == QLatin1String(")")) {
            if (!calls.isEmpty())
                calls.removeLast();
        } else if (t.startsWith(QLatin1Char('"')) && t.contains(kChinese)) {
            QString call;
            for (int i = calls.size() - 1; i >= 0 && call.isEmpty(); --i)
                call = calls[i];
            const QString text = t.mid(1, t.size() - 2);
            if (!translating.contains(call) && !allowed.contains(text))
                found << QStringLiteral("%1:%2: %3").arg(path).arg(code.leftRef(m.capturedStart()).count('\n') + 1).arg(t);
        }
    }
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
                else if (t.contains(kChinese))
                    faults << QStringLiteral("Chinese in the English: ") + m.id() + QStringLiteral(" -> \"") + t + '"';
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

    void noChineseTextOfTheProgramBypassesTranslation()
    {
        // Texts that are data, the same in every language: file names.
        const QSet<QString> allowed{"Resources/Images/基础数据.png", "Resources/Images/计算数据.png",
                                    "Resources/Images/数据拓展.png", "Resources/Images/关闭.png"};
        QStringList faults;
        int files = 0;
        for (const char* dir : {"app", "stream", "mocap", "plot"}) {
            QDirIterator it(QStringLiteral(STRIDELOOM_SOURCE_DIR "/") + dir, {"*.cpp", "*.h"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                faults << untranslatedChinese(it.filePath().mid(sizeof(STRIDELOOM_SOURCE_DIR)),
                                              QString::fromUtf8(file.readAll()), allowed);
                ++files;
            }
        }
        QVERIFY(files > 50);
        // The scan itself: a comment or a translated text is no fault, a
        // bracket in a literal does not hide the call around it.
        QCOMPARE(untranslatedChinese("t", "// 注释\nf(tr(\"(中\"), QString::fromUtf8(\"文\"));", {}),
                 QStringList{"t:2: \"文\""});
        QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("put through tr() (or allow as data):\n  ")
                                              + faults.join(QStringLiteral("\n  "))));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
