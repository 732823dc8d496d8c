#include "MemoryTuning.h"
#include "Strideloom.h"

#include <QApplication>
#include <QSurfaceFormat>

int main(int argc, char* argv[])
{
    keepFreedMemoryForReuse();
    QApplication app(argc, argv);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    auto* window = new Strideloom;
    window->resize(1000, 600);
    window->showMaximized();
    const int rc = QApplication::exec();
    delete window;
    return rc;
}
