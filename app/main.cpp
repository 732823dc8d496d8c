#include "LanguageSwitcher.h"
#include "ProgramFiles.h"
#include "ProgramStart.h"
#include "Strideloom.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    prepareProgramStart();
    QApplication app(argc, argv);
    LanguageSwitcher language(ProgramFiles::find(QStringLiteral("translations")));
    auto* window = new Strideloom(&language);
    window->resize(1000, 600);
    window->showMaximized();
    const int rc = QApplication::exec();
    const bool closeFailed = window->closeFailed();
    delete window;
    return rc != 0 ? rc : closeFailed ? 1 : 0;
}
