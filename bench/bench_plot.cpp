// Cost of feeding and drawing the plot widget: one addDataFrame, one replot
// of a four-curve plot, and one playback tick (1000 frames into each of nine
// plots). Run under a display (Xvfb) or QT_QPA_PLATFORM=offscreen.
//   bench_plot [--show SECONDS]   the second form shows a live sine plot

#include "PlotData.h"
#include "PlotShower.h"
#include "PlotWidget.h"
#include "kvplot2d.h"

#include <QApplication>
#include <qwt_plot_item.h>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double nsSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed());
}

int showLive(double seconds)
{
    auto* plot = new kvplot2d(1, 4, {"w", "x", "y", "z"}, QString::fromUtf8("四元数"), "20230001",
                              QString::fromUtf8("设备"), false);
    // As in the program: the transparent widget sits on a page with a background.
    QWidget page;
    page.setStyleSheet("background:#e9edf2;");
    auto* layout = new QVBoxLayout(&page);
    layout->addWidget(plot->getPlotWidget());
    page.resize(1000, 420);
    page.show();
    double t = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        for (int i = 0; i < 5; ++i) {
            t += 0.02;
            const double v[4] = {std::sin(t), 0.6 * std::sin(2 * t + 1), 0.8 * std::cos(0.5 * t),
                                 0.3 * std::sin(3 * t)};
            plot->addDataFrame(v);
        }
    });
    feed.start(10);
    QTimer::singleShot(int(seconds * 1000), qApp, &QApplication::quit);
    const int rc = QApplication::exec();
    delete plot;
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc > 2 && QString(argv[1]) == "--show")
        return showLive(std::atof(argv[2]));

    // addDataFrame
    kvplot2d plot(1, 4, {"a", "b", "c", "d"}, "t", "o", "l", false);
    const int frames = 2000000;
    double v[4] = {0.1, 0.2, 0.3, 0.4};
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < frames; ++i) {
        v[0] = i;
        plot.addDataFrame(v);
    }
    const double addNs = nsSince(t) / frames;

    // replot of a visible four-curve plot of moving, noisy signals, with
    // and without antialiased curves
    auto* w = qobject_cast<PlotWidget*>(plot.getPlotWidget());
    w->resize(1000, 420);
    w->show();
    QApplication::processEvents();
    auto replotMsWith = [&](bool antialiased) {
        for (QwtPlotItem* item : w->shower()->itemList(QwtPlotItem::Rtti_PlotCurve))
            item->setRenderHint(QwtPlotItem::RenderAntialiased, antialiased);
        const int replots = 300;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < replots; ++i) {
            for (int k = 0; k < 7; ++k) {
                const double x = (i * 7 + k) * 0.01;
                const double frame[4] = {std::sin(x), 0.5 * std::cos(3 * x), 0.2 * std::sin(17 * x), ((i + k) % 13) * 0.05};
                plot.addDataFrame(frame);
            }
            w->onReplot();
            // The redraw only schedules the canvas; the drawing happens here.
            QApplication::processEvents();
        }
        return nsSince(clock) / replots / 1e6;
    };
    replotMsWith(false);  // warm-up
    const double replotMs = replotMsWith(false);
    const double replotAaMs = replotMsWith(true);

    // playback tick: 1000 frames into each of nine plots
    std::vector<std::unique_ptr<kvplot2d>> nine;
    for (int p = 0; p < 9; ++p)
        nine.push_back(std::make_unique<kvplot2d>(p, p < 6 ? 3 : 4, p < 6 ? QStringList{"x", "y", "z"} : QStringList{"w", "x", "y", "z"},
                                                  "t", "o", "l", false));
    const int ticks = 200;
    t.restart();
    for (int k = 0; k < ticks; ++k)
        for (auto& p : nine)
            for (int i = 0; i < 1000; ++i) {
                v[0] = i;
                p->addDataFrame(v);
            }
    const double tickMs = nsSince(t) / ticks / 1e6;

    std::printf("addDataFrame (4 curves):                    %.1f ns\n", addNs);
    std::printf("replot and paint, four curves, 1000x420 px: %.2f ms (antialiased: %.2f ms)\n", replotMs, replotAaMs);
    std::printf("playback tick (9 plots x 1000 frames):      %.3f ms (budget 10 ms)\n", tickMs);
    return 0;
}
