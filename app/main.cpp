#include "ProgramStart.h"
#include "Strideloom.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    prepareProgramStart();
    QApplication app(argc, argv);
    auto* window = new Strideloom;
    window->resize(1000, 600);
    window->showMaximized();
    const int rc = QApplication::exec();
    delete window;
    return rc;
}
