#include "LanguageSwitcher.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

LanguageSwitcher::LanguageSwitcher(const QString& qmDir, const QString& qtQmDir, const QStringList& uiLanguages)
    : strQmDir(qmDir)
    , strQtQmDir(qtQmDir)
    , listUiLanguages(uiLanguages)
    , strCurrent(QString::fromLatin1(kChinese))
{
}

LanguageSwitcher::LanguageSwitcher(const QString& qmDir)
    : LanguageSwitcher(qmDir, QLibraryInfo::location(QLibraryInfo::TranslationsPath), QLocale::system().uiLanguages())
{
}

LanguageSwitcher::~LanguageSwitcher()
{
    removeTranslators();
}

QString LanguageSwitcher::resolve(const QString& option, const QStringList& uiLanguages)
{
    if (option == QLatin1String(kChinese) || option == QLatin1String(kEnglish))
        return option;
    // "zh", "zh-CN", "zh_TW", "zh-Hans-CN"...
    const QString first = uiLanguages.value(0);
    const bool chinese = first == QLatin1String("zh") || first.startsWith(QLatin1String("zh-"))
                         || first.startsWith(QLatin1String("zh_"));
    return QString::fromLatin1(chinese ? kChinese : kEnglish);
}

void LanguageSwitcher::removeTranslators()
{
    if (appTranslator)
        QCoreApplication::removeTranslator(appTranslator.get());
    if (qtTranslator)
        QCoreApplication::removeTranslator(qtTranslator.get());
    appTranslator.reset();
    qtTranslator.reset();
}

bool LanguageSwitcher::loadQtTranslation(QTranslator* translator, const QString& language)
{
    // Qt's translations path; beside the program's own (an install that
    // ships them); beside the executable (a copied-together program).
    QStringList dirs{strQtQmDir, strQmDir, QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    dirs.removeAll(QString());
    dirs.removeDuplicates();
    for (const QString& dir : dirs)
        for (const char* catalog : {"qtbase_", "qt_"})
            if (translator->load(QLatin1String(catalog) + language, dir))
                return true;
    // Qt's texts are English already: only a missing Chinese one matters.
    if (language != QLatin1String(kEnglish) && !bQtMissingLogged) {
        qWarning().noquote() << "no Qt translation (qtbase_" + language + ".qm or qt_" + language + ".qm) in"
                             << dirs.join(QStringLiteral(", ")) << "- Qt's own dialogs and buttons stay English";
        bQtMissingLogged = true;
    }
    return false;
}

QString LanguageSwitcher::apply(const QString& option)
{
    const QString wanted = resolve(option, listUiLanguages);
    if (bApplied && wanted == strCurrent)
        return strCurrent;

    auto app = std::make_unique<QTranslator>();
    if (wanted == QLatin1String(kEnglish)
        && !app->load(QStringLiteral("strideloom_en"), strQmDir)) {
        qWarning().noquote() << "no English translation in" << strQmDir << "- the interface stays Chinese";
        return strCurrent;
    }
    auto qt = std::make_unique<QTranslator>();
    const bool qtLoaded = loadQtTranslation(qt.get(), wanted);

    removeTranslators();
    if (wanted == QLatin1String(kEnglish)) {
        appTranslator = std::move(app);
        QCoreApplication::installTranslator(appTranslator.get());
    }
    if (qtLoaded) {
        qtTranslator = std::move(qt);
        QCoreApplication::installTranslator(qtTranslator.get());
    }
    strCurrent = wanted;
    bApplied = true;
    return strCurrent;
}
