#include "SkeletonFile.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSkeletonFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString writeModel(const QString& entries)
    {
        const QString path = dir.filePath(QString("m%1.mcc").arg(++n));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(("<ModelConnection><connectionList>" + entries + "</connectionList></ModelConnection>").toUtf8());
        return path;
    }
    int n = 0;

    static void compareWithDefault(const Skeleton& s)
    {
        const Skeleton d = Skeleton::defaultBiped();
        QCOMPARE(s.size(), 17);
        for (int j = 0; j < 17; ++j) {
            QCOMPARE(s.joints()[size_t(j)].name, d.joints()[size_t(j)].name);
            QCOMPARE(s.joints()[size_t(j)].parent, d.joints()[size_t(j)].parent);
            QCOMPARE(s.joints()[size_t(j)].nodePosition, d.joints()[size_t(j)].nodePosition);
            QVERIFY(s.joints()[size_t(j)].offset.isApprox(d.joints()[size_t(j)].offset));
            QVERIFY(s.joints()[size_t(j)].endSite.isApprox(d.joints()[size_t(j)].endSite));
        }
    }

private slots:
    void shippedModelDescribesTheDefaultBiped()
    {
        const SkeletonFile::Result r = SkeletonFile::read(STRIDELOOM_MODEL_FILE);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY(r.fromFile);
        compareWithDefault(r.skeleton);
        QCOMPARE(r.skeleton.rootHeight(), 98.0);
    }

    void namesOnlyGetTheDefaultBipedWithThoseNames()
    {
        QString entries;
        for (int t = 1; t <= 17; ++t)
            entries += QString("<c sensorType=\"%1\" nodeName=\"%2\"/>").arg(t).arg(t == 3 ? "RKnee" : Skeleton::bipedNames()[t - 1]);
        // A later empty name takes the earlier one back, as in the name table.
        const SkeletonFile::Result r = SkeletonFile::read(
            writeModel(entries + "<!-- a comment --><c sensorType=\"5\" nodeName=\"LHip\"/><c sensorType=\"5\" nodeName=\"\"/>"));
        QVERIFY(r.error.isEmpty());
        QVERIFY(!r.fromFile);
        QCOMPARE(r.skeleton.joints()[2].name, QString("RKnee"));
        QCOMPARE(r.skeleton.joints()[4].name, QString("LeftUpLeg"));
        QCOMPARE(r.skeleton.joints()[3].parent, 2);
    }

    void brokenSkeletonsGetTheDefaultAndAClearError_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("message");
        const QString root = "<c sensorType=\"1\" nodeName=\"Hips\" offset=\"0 0 0\"/>";
        QTest::newRow("cycle") << root + "<c sensorType=\"2\" nodeName=\"A\" parent=\"B\" offset=\"0 1 0\"/>"
                                         "<c sensorType=\"3\" nodeName=\"B\" parent=\"A\" offset=\"0 1 0\"/>"
                               << "the parents of node A form a cycle";
        QTest::newRow("unknown parent") << root + "<c sensorType=\"2\" nodeName=\"A\" parent=\"Chest\" offset=\"0 1 0\"/>"
                                        << "node A names an unknown parent Chest";
        QTest::newRow("two roots") << root + "<c sensorType=\"2\" nodeName=\"A\" offset=\"0 1 0\"/>"
                                   << "exactly one node without parent, the file has 2";
        QTest::newRow("bad offset") << root + "<c sensorType=\"2\" nodeName=\"A\" parent=\"Hips\" offset=\"0,1,0\"/>"
                                    << "node A has an offset that is not three numbers";
        QTest::newRow("blank in a name") << root + "<c sensorType=\"2\" nodeName=\"Left Leg\" parent=\"Hips\" offset=\"0 1 0\"/>"
                                         << "node name \"Left Leg\" contains whitespace";
        QTest::newRow("blank in a name, names only") << "<c sensorType=\"2\" nodeName=\"Left\tLeg\"/>"
                                                     << "contains whitespace";
    }

    void brokenSkeletonsGetTheDefaultAndAClearError()
    {
        QFETCH(QString, entries);
        QFETCH(QString, message);
        const SkeletonFile::Result r = SkeletonFile::read(writeModel(entries));
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QVERIFY(r.error.endsWith("using the default biped"));
        QVERIFY(!r.fromFile);
        compareWithDefault(r.skeleton);
    }

    void aSmallTreeInFileOrderWithDerivedTips()
    {
        const SkeletonFile::Result r = SkeletonFile::read(writeModel(
            "<c sensorType=\"2\" nodeName=\"Arm\" parent=\"Root\" offset=\"10 0 0\"/>"
            "<c sensorType=\"1\" nodeName=\"Root\" offset=\"0 0 0\"/>"));
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.skeleton.size(), 2);
        QCOMPARE(r.skeleton.joints()[0].name, QString("Root"));
        QCOMPARE(r.skeleton.joints()[1].parent, 0);
        QVERIFY(r.skeleton.joints()[1].endSite.isApprox(Eigen::Vector3d(5, 0, 0)));
    }
};

QTEST_GUILESS_MAIN(TestSkeletonFile)
#include "tst_skeletonfile.moc"
