#include "AppTestSupport.h"
#include "BvhTestFile.h"
#include "DockDeviceList.h"
#include "MainView.h"
#include "Strideloom.h"
#include "SuitCapture.h"
#include "TabSuitWidget.h"
#include "ToolBarFileOperation.h"
#include "usbsim.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>

// The suit page against a simulated walking suit: raw, then aligned by a
// T-pose, a BVH recording started and stopped from the page, silent nodes;
// without locations the heading waiting for a walk; closing the window.
class TestSuitPage : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<AppWorkDir> work;
    std::unique_ptr<Strideloom> window;
    int router = -1;
    TabSuitWidget* page() { return window->mainView()->pageSuit(); }

    // Standing still without locations: aligned, the heading waits for a walk.
    void alignWithoutLocations()
    {
        usbsim_set_walk_locations(router, 0);
        usbsim_walk_tpose(router, 60.0);
        QTest::mouseClick(page()->tposeButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(page()->currentCapture()->state() == SuitCapture::Aligned, 15000);
        QVERIFY(page()->currentCapture()->awaitsWalking());
        QVERIFY2(page()->statusText().contains(QString::fromUtf8("请走几步")), qPrintable(page()->statusText()));
    }

private slots:
    void initTestCase()
    {
        work = std::make_unique<AppWorkDir>();
        QVERIFY(work->isValid());
        usbsim_reset();
        router = usbsim_add_router(0x1234, 0, 17, 100);
        usbsim_set_walking(router, nullptr);
        window = std::make_unique<Strideloom>();
        window->resize(1000, 600);
        window->show();
        window->fileToolBar()->pathCombo()->setCurrentText(work->path() + "/out");
        QTRY_COMPARE_WITH_TIMEOUT(window->deviceDock()->table()->rowCount(), 17, 8000);
    }

    void cleanupTestCase()
    {
        window.reset();
        QCOMPARE(usbsim_open_handles(), 0);
    }

    void alignThenRecordFromThePage()
    {
        window->mainView()->setCurrentDevice(window->deviceDock()->recordForKey(QString::number(0x1234u << 8 | 5)));
        window->mainView()->showPage(MainView::PageSuit);
        QTRY_VERIFY(page()->statusText().contains(QString::fromUtf8("未对齐")));
        QVERIFY(page()->currentCapture());
        QCOMPARE(page()->currentCapture()->suitNumber(), 0x1234u);

        usbsim_walk_tpose(router, 30.0);
        QTest::mouseClick(page()->tposeButton(), Qt::LeftButton);
        QVERIFY(page()->statusText().contains(QString::fromUtf8("请摆好 T 姿势：3 秒")));
        // No file may start with an alignment that is about to change.
        QVERIFY(!page()->recordButton()->isEnabled());
        QString refused;
        QVERIFY(!page()->currentCapture()->startBvh(work->path() + "/out/refused.bvh", 0.02, &refused));
        QVERIFY(!refused.isEmpty() && !QFile::exists(work->path() + "/out/refused.bvh"));
        QTRY_VERIFY_WITH_TIMEOUT(page()->statusText().contains(QString::fromUtf8("已对齐")), 15000);
        // Still standing: every segment as in the T-pose, every node live.
        const SuitPose still = page()->currentCapture()->pose();
        for (size_t j = 0; j < still.global.size(); ++j) {
            QVERIFY2(still.global[j].angularDistance(Eigen::Quaterniond::Identity()) < 2 * M_PI / 180, qPrintable(QString::number(j)));
            QVERIFY(still.live[j]);
        }

        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        const qint64 started = clock.elapsed();
        QVERIFY(page()->currentCapture()->isRecording());
        const QString path = page()->currentCapture()->bvhPath();
        QVERIFY2(QRegularExpression("/out/strideloom_\\d{14}_suit4660\\.bvh$").match(path).hasMatch(), qPrintable(path));
        QTest::qWait(1000);
        const qint64 lastWithin = clock.elapsed() - started;
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        const qint64 atMost = clock.elapsed();
        QVERIFY(!page()->currentCapture()->isRecording());
        BvhTestFile bvh;
        const QString error = bvh.read(path);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // One frame for each 1/60 s the recording lasted, however long the
        // busy event loop made that.
        const qint64 fewest = lastWithin * 60 / 1000;
        const qint64 most = atMost * 60 / 1000 + 2;
        QVERIFY2(bvh.frames >= fewest && bvh.frames <= most,
                 qPrintable(QStringLiteral("%1 frames, %2 to %3 expected").arg(bvh.frames).arg(fewest).arg(most)));
        QVERIFY(bvh.comments.join('\n').contains("alignment: T-pose"));
    }

    void silentNodesTurnGrey()
    {
        usbsim_set_silent(router, 1);
        QTRY_VERIFY_WITH_TIMEOUT(page()->currentCapture()->pose().live[0] == false, 3000);
        usbsim_set_silent(router, 0);
        QTRY_VERIFY_WITH_TIMEOUT(page()->currentCapture()->pose().live[0] == true, 3000);
        // The alignment is the suit's: still there after another node is chosen.
        window->mainView()->setCurrentDevice(window->deviceDock()->recordForKey(QString::number(0x1234u << 8 | 9)));
        QVERIFY(page()->statusText().contains(QString::fromUtf8("已对齐")));
    }

    // Nobody walks: past the hold-back the frames reach the file during the
    // recording, and the file says its heading is unknown.
    void heldBackFramesGoToTheFileAtTheLimit()
    {
        window->mainView()->setCurrentDevice(window->deviceDock()->recordForKey(QString::number(0x1234u << 8 | 5)));
        alignWithoutLocations();
        SuitCapture* c = page()->currentCapture();
        c->setHoldBackSeconds(0.5);
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        QVERIFY(c->isRecording());
        QVERIFY(!page()->tposeButton()->isEnabled());
        const QString path = c->bvhPath();
        const auto linesWritten = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll().split('\n').size() : 0;
        };
        const int header = linesWritten();
        QTRY_VERIFY_WITH_TIMEOUT(linesWritten() > header + 30, 3000);
        QVERIFY(!c->awaitsWalking());
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        QVERIFY(page()->tposeButton()->isEnabled());
        QVERIFY(c->lastBvh().ok);
        QVERIFY(!c->lastBvh().headingKnown);
        QVERIFY(page()->statusText().contains(QString::fromUtf8("朝向未知")));
        BvhTestFile bvh;
        QVERIFY(bvh.read(path).isEmpty());
        QCOMPARE(qint64(bvh.rows.size()), c->lastBvh().frames);
        QVERIFY(bvh.comments.join('\n').contains("unknown"));
        c->setHoldBackSeconds(SuitCapture::kHoldBackSeconds);
    }

    // The frame time option is read at every start: an edit of the option
    // file counts from the next recording on.
    void frameTimeOptionCountsFromTheNextRecording()
    {
        work->setOption("bvhframetime", "0.025");
        // Saving another option writes the edit back, not the value of the start.
        window->setOption("savepath", window->getOption("savepath"));
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        const QString path = page()->currentCapture()->bvhPath();
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        work->setOption("bvhframetime", "0.0166667");
        BvhTestFile bvh;
        QVERIFY(bvh.read(path).isEmpty());
        QCOMPARE(bvh.frameTime, 0.025);
    }

    // The window's close button finishes the files like the Exit menu: a
    // BVH file that cannot be finished (its held frames past the file size
    // limit) is told once and fails the exit.
    void closingWithAnUnfinishedBvhFails()
    {
        alignWithoutLocations();
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        QVERIFY(page()->currentCapture()->isRecording());
        QTest::qWait(1000);
        int boxes = 0;
        QTimer dismiss;
        connect(&dismiss, &QTimer::timeout, [&boxes] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                ++boxes;
                box->close();
            }
        });
        dismiss.start(50);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = rlim_t(QFileInfo(page()->currentCapture()->bvhPath()).size() + 2000);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QVERIFY(!window->closeFailed());
        window->close();
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(window->closeFailed());
        QCOMPARE(boxes, 1);
    }
};

QTEST_MAIN(TestSuitPage)
#include "tst_suitpage.moc"
