#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QTranslator;

// Loads and switches the interface language. The texts in the sources are
// Chinese; English comes from strideloom_en.qm. Qt's own dialogs get Qt's
// shipped translation for the language in force when one is found (Qt's
// translations path, then beside the program's); without it they stay
// English, which is logged. Installing or removing a
// translator makes Qt send every window a LanguageChange event, on which
// each re-translates itself.
//
// GUI thread only (translations themselves may be looked up on any thread).
class LanguageSwitcher
{
public:
    static constexpr const char* kChinese = "zh_CN";
    static constexpr const char* kEnglish = "en";

    // qmDir holds the program's translations; qtQmDir Qt's own (qtbase_*.qm);
    // uiLanguages are the system's interface languages, preferred first.
    LanguageSwitcher(const QString& qmDir, const QString& qtQmDir, const QStringList& uiLanguages);
    // With Qt's translation directory and the system's languages.
    explicit LanguageSwitcher(const QString& qmDir);
    ~LanguageSwitcher();
    LanguageSwitcher(const LanguageSwitcher&) = delete;
    LanguageSwitcher& operator=(const LanguageSwitcher&) = delete;

    // Puts a value of the option "language" into force: "zh_CN", "en", or
    // "auto" (also empty or unknown text) for the system's language.
    // Returns the language now in force; stays Chinese when the English
    // translation cannot be loaded.
    QString apply(const QString& option);
    // "zh_CN" or "en".
    QString current() const { return strCurrent; }

    // The language an option value stands for: "auto" is Chinese when the
    // first interface language is Chinese, English otherwise.
    static QString resolve(const QString& option, const QStringList& uiLanguages);

private:
    void removeTranslators();
    // Qt's own translation for a language, from the first place that has
    // one; false (logged once) when none has.
    bool loadQtTranslation(QTranslator* translator, const QString& language);

    QString strQmDir;
    QString strQtQmDir;
    QStringList listUiLanguages;
    QString strCurrent;
    // Nothing is installed before the first apply, not even Qt's Chinese.
    bool bApplied = false;
    bool bQtMissingLogged = false;
    std::unique_ptr<QTranslator> appTranslator;
    std::unique_ptr<QTranslator> qtTranslator;
};
