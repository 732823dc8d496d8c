// Data pages, number format, the debug dock and the 3D view's angle.

#include "DataFormat.h"
#include "DockDebugInfo.h"
#include "FieldBackdrop.h"
#include "NodeDispGLWidget.h"
#include "TabApplyDataWidget.h"
#include "TabBasicDataWidget.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>
#include <cmath>

namespace {
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

class TestViews : public QObject
{
    Q_OBJECT
private slots:
    void numberFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("gravity") << 9.80665 << "9.807";
        QTest::newRow("negative") << -12.34567 << "-12.35";
        QTest::newRow("whole") << 2000.0 << "2000";
        QTest::newRow("no trailing zeros") << 1.5 << "1.5";
        QTest::newRow("large") << 123456.0 << "1.235e+05";
        QTest::newRow("zero") << 0.0 << "0";
    }

    void numberFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatValue(value), text);
    }

    void pagesShowValuesAndHostPlots()
    {
        TabBasicDataWidget basic;
        const double v[9] = {9.80665, 0, -1, 2, 3, 4, 5, 6, 7};
        basic.updateValues(v);
        QCOMPARE(basic.findChild<QLineEdit*>("lineEdit_AccelX")->text(), QStringLiteral("9.807"));
        QCOMPARE(basic.findChild<QLineEdit*>("lineEdit_MagZ")->text(), QStringLiteral("7"));
        QVERIFY(basic.findChild<QLineEdit*>("lineEdit_AccelX")->isReadOnly());

        QWidget a, b;
        basic.setAccelPlot(&a);
        QCOMPARE(a.parentWidget(), basic.findChild<QWidget*>("widgetAccel"));
        basic.setAccelPlot(&b);
        QVERIFY(a.isHidden());
        basic.clearPlots();
        QVERIFY(b.isHidden());
        a.setParent(nullptr);
        b.setParent(nullptr);

        TabApplyDataWidget applied;
        const double q[7] = {1, 0, 0, 0, 10, 20, 30};
        applied.updateValues(q);
        QCOMPARE(applied.findChild<QLineEdit*>("lineEdit_QuatW")->text(), QStringLiteral("1"));
        QCOMPARE(applied.findChild<QLineEdit*>("lineEdit_EulerZ")->text(), QStringLiteral("30"));
        QCOMPARE(applied.findChild<QLineEdit*>("lineEdit_LAccelX")->text(), QStringLiteral("0.0"));
        QCOMPARE(applied.findChild<QLineEdit*>("lineEdit_EulerX")->toolTip(), QStringLiteral("Roll"));
    }

    void numberFieldsRepaintWithoutTheirGroupBox()
    {
        TabBasicDataWidget basic;
        basic.resize(896, 642);
        basic.show();
        QVERIFY(QTest::qWaitForWindowExposed(&basic));
        auto* field = basic.findChild<QLineEdit*>("lineEdit_GyroY");
        QWidget* box = field->parentWidget();
        // The copy of the group box beneath the field is taken after its first paint.
        QTest::qWait(100);
        const double v[9] = {1, 2, 3, 4, 5.5, 6, 7, 8, 9};
        PaintCounter boxPaints, fieldPaints;
        box->installEventFilter(&boxPaints);
        field->installEventFilter(&fieldPaints);
        basic.updateValues(v);
        QTRY_VERIFY(fieldPaints.count > 0);
        QCOMPARE(boxPaints.count, 0);

        // Where the field's rounded frame leaves its corners, the screen
        // shows the group box as it draws itself, also after the group box
        // was laid out anew and changed its colours.
        const auto cornersShowTheGroupBox = [&] {
            QPixmap beneath(box->size());
            box->render(&beneath, QPoint(), QRegion(), QWidget::DrawWindowBackground);
            const QImage own = beneath.toImage();
            const QImage shown = basic.screen()->grabWindow(basic.winId()).toImage();
            const QPoint inBox = field->geometry().topLeft();
            const QPoint onScreen = field->mapTo(&basic, QPoint(0, 0));
            for (const QPoint corner : {QPoint(0, 0), QPoint(field->width() - 1, field->height() - 1)})
                if (shown.pixelColor(onScreen + corner) != own.pixelColor(inBox + corner))
                    return false;
            return true;
        };
        QVERIFY(cornersShowTheGroupBox());
        basic.resize(700, 900);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, QColor(200, 220, 240));
        box->setPalette(pal);
        QTRY_VERIFY(cornersShowTheGroupBox());
    }

    // The copy is kept while nothing beneath the field changes, and is not
    // used once the group box's state differs from when it was taken.
    void fieldCopyFollowsTheGroupBoxState()
    {
        QGroupBox box("g");
        auto* field = new QLineEdit(&box);
        field->setReadOnly(true);
        field->setGeometry(10, 20, 80, 25);
        FieldBackdrop backdrop(&box);
        backdrop.addField(field);
        box.resize(120, 60);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QApplication::setActiveWindow(&box);
        QTRY_VERIFY(box.isActiveWindow() && backdrop.hasBackdrop(field));
        field->hide();
        field->show();
        QVERIFY(backdrop.hasBackdrop(field));
        box.setEnabled(false);
        QVERIFY(!backdrop.hasBackdrop(field));
        QTRY_VERIFY(backdrop.hasBackdrop(field));
    }

    void debugDockRebuildsOnlyOnChange()
    {
        DockDebugInfo dock;
        dock.slotAddDebugInfo({"a", "b"}, true);
        QCOMPARE(dock.text(), QStringLiteral("a\nb\n"));
        auto* edit = dock.findChild<QPlainTextEdit*>("plainTextEdit");
        edit->moveCursor(QTextCursor::Start);
        dock.slotAddDebugInfo({"a", "b"}, true);  // same log: untouched
        QCOMPARE(edit->textCursor().position(), 0);
        dock.slotAddDebugInfo({"a", "b", "c"}, true);
        QCOMPARE(dock.text(), QStringLiteral("a\nb\nc\n"));
        QStringList many;
        for (int i = 0; i < 1500; ++i)
            many << QString::number(i);
        dock.slotAddDebugInfo(many, true);
        QCOMPARE(edit->document()->blockCount(), 1000);
        QVERIFY(dock.text().endsWith("1499\n"));
    }

    void rotationAngleClampsAndUsesTheTruncatedPi()
    {
        QCOMPARE(NodeDispGLWidget::rotationAngleDeg(1.0f), 0.0);
        QVERIFY(std::fabs(NodeDispGLWidget::rotationAngleDeg(0.0f) - 3.14159265358979 / 3.14 * 180.0) < 1e-9);
        QCOMPARE(NodeDispGLWidget::rotationAngleDeg(1.0000001f), 0.0);
        QVERIFY(std::isfinite(NodeDispGLWidget::rotationAngleDeg(-1.0000001f)));
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"
