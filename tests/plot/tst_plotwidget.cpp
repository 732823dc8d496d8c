#include "PlotCanvas.h"
#include "PlotData.h"
#include "PlotShower.h"
#include "PlotWidget.h"
#include "kvplot2d.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <thread>
#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>

namespace {

PlotWidget* widgetOf(kvplot2d& plot)
{
    return qobject_cast<PlotWidget*>(plot.getPlotWidget());
}

QList<QwtPlotCurve*> curvesOf(PlotWidget* w)
{
    QList<QwtPlotCurve*> curves;
    for (QwtPlotItem* item : w->shower()->itemList(QwtPlotItem::Rtti_PlotCurve))
        curves << static_cast<QwtPlotCurve*>(item);
    return curves;
}

void add(kvplot2d& plot, double v)
{
    const double values[4] = {v, v, v, v};
    plot.addDataFrame(values);
}

} // namespace

class TestPlotWidget : public QObject
{
    Q_OBJECT
private slots:
    void buildsWhatTheConfigurationAsks()
    {
        kvplot2d plot(7, 4, {"x", "y", "z", "w"}, "四元数", "12345", "设备", false);
        PlotWidget* w = widgetOf(plot);
        QVERIFY(w && w->hasPlot());
        QCOMPARE(w->objectName(), QStringLiteral("PlotWidget"));
        QCOMPARE(w->findChild<QLabel*>("ownerLabel")->text(), QString::fromUtf8("设备：12345"));
        QVERIFY(w->findChild<QPushButton*>("plot_controlBtn")->isCheckable());
        QCOMPARE(w->shower()->axisTitle(QwtPlot::yLeft).text(), QString::fromUtf8("四元数"));
        QVERIFY(w->shower()->canvas()->objectName() == QLatin1String("PlotCanvas"));
        QVERIFY(w->slider() == nullptr);

        const QList<QwtPlotCurve*> curves = curvesOf(w);
        QCOMPARE(curves.size(), 4);
        const QList<QColor> expected{QColor(255, 0, 0), QColor(255, 0, 255), QColor(0, 0, 255), QColor(0, 255, 255)};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(curves[i]->title().text(), QStringList({"x", "y", "z", "w"})[i]);
            QCOMPARE(curves[i]->pen().color(), expected[i]);
        }
        QCOMPARE(PlotWidget::curveColor(-1, 4), QColor(128, 128, 128));
        QCOMPARE(PlotWidget::curveColor(2, 2000), QColor(128, 128, 128));
    }

    void invalidConfigurationsBuildNoPlot_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("five curves") << 5 << QStringList{"a", "b", "c", "d", "e"};
        QTest::newRow("no curve") << 0 << QStringList{};
        QTest::newRow("three names for four") << 4 << QStringList{"a", "b", "c"};
    }

    void invalidConfigurationsBuildNoPlot()
    {
        QFETCH(int, count);
        QFETCH(QStringList, names);
        kvplot2d plot(1, count, names, "t", "o", "l", true);
        PlotWidget* w = widgetOf(plot);
        QVERIFY(w);
        QVERIFY(!w->hasPlot());
        add(plot, 1.0);  // ignored, no crash
        plot.setYRange(0, 5);
    }

    void unzoomingReturnsToTheRangeLastSet()
    {
        kvplot2d plot(1, 3, {"x", "y", "z"}, "gyro", "1", "设备", false);
        PlotWidget* w = widgetOf(plot);
        plot.setYRange(-2000, 2000);
        auto* zoomer = w->shower()->findChild<QwtPlotZoomer*>();
        QVERIFY(zoomer);
        zoomer->zoom(QRectF(100, -10, 200, 20));
        QCOMPARE(w->shower()->axisScaleDiv(QwtPlot::yLeft).upperBound(), 10.0);
        zoomer->zoom(0);
        w->shower()->replot();
        QCOMPARE(w->shower()->axisScaleDiv(QwtPlot::yLeft).lowerBound(), -2000.0);
        QCOMPARE(w->shower()->axisScaleDiv(QwtPlot::yLeft).upperBound(), 2000.0);
    }

    // The fast redraw (kept backdrop, curves only) shows what Qwt itself
    // draws, also after the scale changed, and inside a page's style sheet.
    void fastRedrawMatchesQwtsOwnDrawing()
    {
        QWidget page;
        page.setStyleSheet("QWidget#PlotCanvas{background:#565D65;border-radius:10px;}");
        auto* layout = new QVBoxLayout(&page);
        kvplot2d plot(1, 3, {"x", "y", "z"}, "gyro", "1", "设备", false);
        layout->addWidget(plot.getPlotWidget());
        page.resize(700, 300);
        for (int i = 0; i < 1000; ++i)
            add(plot, 0.9 * std::sin(i / 40.0));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        PlotShower* shower = widgetOf(plot)->shower();
        auto* canvas = static_cast<PlotCanvas*>(shower->canvas());
        const auto differingPixels = [canvas] {
            QCoreApplication::processEvents();
            canvas->invalidateBackdrop();
            const QImage slow = canvas->grab().toImage();
            QCoreApplication::processEvents();
            const QImage fast = canvas->grab().toImage();
            int n = 0;
            for (int y = 0; y < slow.height(); ++y)
                for (int x = 0; x < slow.width(); ++x)
                    n += slow.pixel(x, y) != fast.pixel(x, y);
            return n;
        };
        QVERIFY(differingPixels() == 0);
        plot.setYRange(-3, 3);
        QVERIFY(differingPixels() == 0);

        // On the screen, after the curves moved to a narrow band by redraws
        // of their bands only, nothing of the earlier curves is left.
        const auto fresh = [&] { return canvas->grab().toImage().convertToFormat(QImage::Format_RGB32); };
        const auto onScreen = [&] {
            const QPoint origin = canvas->mapTo(&page, QPoint(0, 0));
            return page.screen()
                ->grabWindow(page.winId(), origin.x(), origin.y(), canvas->width(), canvas->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        // The samples reach the canvas at its next refresh: wait for that,
        // then for the screen to hold exactly what a full drawing holds.
        const QImage first = onScreen();
        for (int i = 0; i < 1000; ++i)
            add(plot, 2.5);
        QTRY_VERIFY(onScreen() != first);
        QTRY_VERIFY(onScreen() == fresh());
        const QImage high = onScreen();
        for (int i = 0; i < 1000; ++i)
            add(plot, 0.5 + 0.01 * (i % 2));
        QTRY_VERIFY(onScreen() != high);
        QTRY_VERIFY(onScreen() == fresh());
    }

    void equalNamesGiveOneCurve()
    {
        kvplot2d plot(1, 3, {"a", "a", "b"}, "t", "o", "l", false);
        QCOMPARE(curvesOf(widgetOf(plot)).size(), 2);
    }

    void pausedFramesAreDroppedAndTheCurveContinues()
    {
        kvplot2d plot(1, 1, {"v"}, "t", "o", "l", false);
        PlotWidget* w = widgetOf(plot);
        auto* button = w->findChild<QPushButton*>("plot_controlBtn");
        add(plot, 1);
        add(plot, 2);
        button->click();  // pause
        QVERIFY(button->isChecked());
        add(plot, 99);
        QCOMPARE(w->data()->liveValue(3, 0), 0.0);
        button->click();  // run
        add(plot, 3);
        QCOMPARE(w->data()->liveValue(1, 0), 1.0);
        QCOMPARE(w->data()->liveValue(2, 0), 2.0);
        QCOMPARE(w->data()->liveValue(3, 0), 3.0);
        // The running view redraws from the timer.
        QTRY_COMPARE(w->data()->value(3, 0), 3.0);
    }

    void historySliderShowsAWindowAndPauses()
    {
        kvplot2d plot(1, 2, {"a", "b"}, "t", "o", "l", true);
        PlotWidget* w = widgetOf(plot);
        QVERIFY(w->slider());
        QCOMPARE(w->slider()->value(), 10000);
        for (int n = 1; n <= 4000; ++n)
            add(plot, n);
        w->slider()->setValue(5000);
        QVERIFY(w->findChild<QPushButton*>("plot_controlBtn")->isChecked());
        QCOMPARE(w->data()->value(0, 0), 2001.0);
        QCOMPARE(w->data()->value(999, 0), 3000.0);
        // Back to live through the button.
        w->findChild<QPushButton*>("plot_controlBtn")->click();
        QCOMPARE(w->slider()->value(), 10000);
    }

    void legendSwitchesCurves()
    {
        kvplot2d plot(1, 2, {"a", "b"}, "t", "o", "l", false);
        PlotWidget* w = widgetOf(plot);
        QwtPlotCurve* second = curvesOf(w)[1];
        QVERIFY(second->isVisible());
        w->shower()->showItem(w->shower()->itemToInfo(second), false);
        QVERIFY(!second->isVisible());
        auto* legend = qobject_cast<QwtLegend*>(w->shower()->legend());
        QVERIFY(legend);
        auto* label = qobject_cast<QwtLegendLabel*>(legend->legendWidget(w->shower()->itemToInfo(curvesOf(w)[0])));
        QVERIFY(label && label->isChecked());
    }

    void copiesShareAndParentsMayDeleteFirst()
    {
        auto a = std::make_unique<kvplot2d>(1, 1, QStringList{"a"}, "t", "o", "l", false);
        kvplot2d b(*a);
        kvplot2d c(2, 1, {"c"}, "t", "o", "l", false);
        c = *a;
        QCOMPARE(b.getPlotWidget(), a->getPlotWidget());
        QCOMPARE(c.getPlotWidget(), a->getPlotWidget());
        a.reset();
        QVERIFY(b.getPlotWidget());
        add(b, 1.0);

        // Placed in a client's layout whose parent goes first.
        auto* parent = new QWidget;
        auto* layout = new QVBoxLayout(parent);
        layout->addWidget(b.getPlotWidget());
        delete parent;
        QVERIFY(b.getPlotWidget() == nullptr);
        add(b, 2.0);
    }

    void framesFromAnotherThreadWhileRedrawing()
    {
        kvplot2d plot(1, 4, {"a", "b", "c", "d"}, "t", "o", "l", false);
        PlotWidget* w = widgetOf(plot);
        w->resize(800, 400);
        w->show();
        std::atomic<int> sent{0};
        std::thread feeder([&] {
            for (int n = 0; n < 3000; ++n) {
                const double v[4] = {std::sin(n * 0.01), std::cos(n * 0.01), 0.5, -0.5};
                plot.addDataFrame(v);
                sent.store(n + 1);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        while (sent.load() < 3000) {
            w->onReplot();
            QTest::qWait(5);
        }
        feeder.join();
        QVERIFY(w->data()->liveValue(999, 2) == 0.5);
    }
};

QTEST_MAIN(TestPlotWidget)
#include "tst_plotwidget.moc"
