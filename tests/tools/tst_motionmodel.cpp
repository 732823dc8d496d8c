#include "MotionModel.h"

#include <QtTest>
#include <cmath>

namespace {

double norm3(const double v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

} // namespace

// The simulator's samples must be physically consistent, or host-side
// calibration and display tests prove nothing.
class TestMotionModel : public QObject
{
    Q_OBJECT
private slots:
    void gravityAndFieldHaveTheirMagnitudes()
    {
        MotionModel m(3);
        for (int i = 0; i < 2000; ++i) {
            const auto v = m.step(0.01);
            QVERIFY(std::fabs(norm3(v.accel) - 1.0) < 1e-9);
            QVERIFY(std::fabs(norm3(v.mag) - MotionModel::kFieldMicroTesla) < 1e-9);
            const double qn = std::sqrt(v.quat[0] * v.quat[0] + v.quat[1] * v.quat[1] + v.quat[2] * v.quat[2]
                                        + v.quat[3] * v.quat[3]);
            QVERIFY(std::fabs(qn - 1.0) < 1e-9);
        }
    }

    void distortionIsAppliedExactly()
    {
        MagDistortion d;
        d.hardIron[0] = 10;
        d.hardIron[2] = -5;
        d.softIron[0] = 1.2;
        d.softIron[1] = 0.1;
        d.softIron[4] = 0.8;
        MotionModel m(5, d);
        for (int i = 0; i < 50; ++i) {
            const auto v = m.step(0.02);
            double b[3];
            m.trueBodyField(b);
            QVERIFY(std::fabs(v.mag[0] - (10 + 1.2 * b[0] + 0.1 * b[1])) < 1e-9);
            QVERIFY(std::fabs(v.mag[1] - 0.8 * b[1]) < 1e-9);
            QVERIFY(std::fabs(v.mag[2] - (-5 + b[2])) < 1e-9);
        }
    }

    void angularRateMatchesTheOrientationChange()
    {
        MotionModel m(9);
        auto prev = m.step(0.001);
        for (int i = 0; i < 500; ++i) {
            const auto next = m.step(0.001);
            // q_prev⁻¹ ⊗ q_next = rotation over one step, about the body rate.
            const double* a = prev.quat;
            const double* b = next.quat;
            const double dw = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
            const double dx = a[0] * b[1] - a[1] * b[0] - a[2] * b[3] + a[3] * b[2];
            const double dy = a[0] * b[2] + a[1] * b[3] - a[2] * b[0] - a[3] * b[1];
            const double dz = a[0] * b[3] - a[1] * b[2] + a[2] * b[1] - a[3] * b[0];
            const double sign = dw < 0 ? -1 : 1;
            const double rad = 180.0 / 3.14159265358979323846;
            QVERIFY(std::fabs(2 * sign * dx / 0.001 * rad - next.gyro[0]) < 0.5);
            QVERIFY(std::fabs(2 * sign * dy / 0.001 * rad - next.gyro[1]) < 0.5);
            QVERIFY(std::fabs(2 * sign * dz / 0.001 * rad - next.gyro[2]) < 0.5);
            prev = next;
        }
    }

    void eulerAnglesDescribeTheQuaternion()
    {
        MotionModel m(11);
        for (int i = 0; i < 300; ++i) {
            const auto v = m.step(0.05);
            const double r = v.euler[0] / 57.29577951308232, p = v.euler[1] / 57.29577951308232,
                         y = v.euler[2] / 57.29577951308232;
            // Z-Y-X composition back to a quaternion.
            const double cr = std::cos(r / 2), sr = std::sin(r / 2), cp = std::cos(p / 2), sp = std::sin(p / 2),
                         cy = std::cos(y / 2), sy = std::sin(y / 2);
            const double q[4] = {cr * cp * cy + sr * sp * sy, sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy,
                                 cr * cp * sy - sr * sp * cy};
            const double dot = std::fabs(q[0] * v.quat[0] + q[1] * v.quat[1] + q[2] * v.quat[2] + q[3] * v.quat[3]);
            QVERIFY2(dot > 0.99999, qPrintable(QString::number(dot)));
        }
    }

    void zeroRotationMakesTheCurrentOrientationIdentity()
    {
        MotionModel m(13);
        m.step(0.5);
        m.zeroRotation();
        const auto v = m.step(0.0001);
        QVERIFY(v.quat[0] > 0.999999);
        m.resetZero();
        const auto w = m.step(0.0001);
        QVERIFY(w.quat[0] < 0.9999);
    }

    void fieldDirectionCoversTheSphere()
    {
        // Magnetometer calibration needs samples from every direction.
        MotionModel m(17);
        std::vector<std::array<double, 3>> seen;
        for (int i = 0; i < 60 * 50; ++i) {
            const auto v = m.step(0.02);
            seen.push_back({v.mag[0] / 48, v.mag[1] / 48, v.mag[2] / 48});
        }
        for (int x = -1; x <= 1; ++x)
            for (int y = -1; y <= 1; ++y)
                for (int z = -1; z <= 1; ++z) {
                    if (!x && !y && !z)
                        continue;
                    const double n = std::sqrt(double(x * x + y * y + z * z));
                    double best = -1;
                    for (const auto& s : seen)
                        best = std::max(best, (s[0] * x + s[1] * y + s[2] * z) / n);
                    QVERIFY2(best > std::cos(35.0 / 57.3), qPrintable(QString("%1 %2 %3").arg(x).arg(y).arg(z)));
                }
    }
};

QTEST_APPLESS_MAIN(TestMotionModel)
#include "tst_motionmodel.moc"
