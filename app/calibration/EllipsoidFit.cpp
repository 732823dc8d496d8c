#include "EllipsoidFit.h"

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <cmath>

namespace {

using Matrix10 = Eigen::Matrix<double, 10, 10>;
using Vector10 = Eigen::Matrix<double, 10, 1>;

Eigen::Matrix3d quadricMatrix(const Vector10& q)
{
    Eigen::Matrix3d A;
    A << q(0), q(3) / 2, q(4) / 2,
         q(3) / 2, q(1), q(5) / 2,
         q(4) / 2, q(5) / 2, q(2);
    return A;
}

} // namespace

bool EllipsoidFit::fit(const std::vector<MagPoint>& points, double radius, double center[3], double W[9])
{
    const Eigen::Index n = Eigen::Index(points.size());
    Eigen::MatrixXd D(n, 10);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double x = points[size_t(i)][0], y = points[size_t(i)][1], z = points[size_t(i)][2];
        D.row(i) << x * x, y * y, z * z, x * y, x * z, y * z, x, y, z, 1.0;
    }

    // qᵀCq = 4·q0·q1 − q3²
    Matrix10 C = Matrix10::Zero();
    C(0, 1) = 2;
    C(1, 0) = 2;
    C(3, 3) = -1;

    const Matrix10 S = D.transpose() * D;
    Eigen::EigenSolver<Matrix10> sSolver(S, false);
    const auto sValues = sSolver.eigenvalues();
    for (int i = 0; i < 10; ++i) {
        if (sValues(i).imag() != 0.0 || !(sValues(i).real() > 0.0))
            return false;
    }

    const Matrix10 E = Eigen::PartialPivLU<Matrix10>(S).inverse() * C;
    Eigen::EigenSolver<Matrix10> eSolver(E, true);
    const Vector10 values = eSolver.eigenvalues().real();
    const Matrix10 vectors = eSolver.eigenvectors().real();
    int m = 0;
    for (int i = 1; i < 10; ++i) {
        if (values(i) > values(m))
            m = i;
    }
    if (!(values(m) > 0.0))
        return false;

    Vector10 q = vectors.col(m);
    const double k = q.transpose() * C * q;
    if (k < 0)
        return false;
    if (!(q(0) * quadricMatrix(q).determinant() > 0.0))
        return false;

    q *= std::sqrt(1.0 / k);
    const Eigen::Matrix3d A = quadricMatrix(q);
    const Eigen::Vector3d b(q(6) / 2, q(7) / 2, q(8) / 2);
    const double d = q(9);
    const Eigen::Vector3d c = -A.inverse() * b;
    const double s = 1.0 / (c.dot(A * c) - d);
    const Eigen::Matrix3d B = ((s * A) * radius) * radius;
    // Full U and V: thin ones are for dynamic-size matrices and assert otherwise.
    Eigen::JacobiSVD<Eigen::Matrix3d> svd(B, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::Matrix3d U = svd.matrixU();
    const Eigen::Vector3d sigma = svd.singularValues();
    const Eigen::Matrix3d Wm = U * sigma.cwiseSqrt().asDiagonal() * U.transpose();

    // A degenerate quadric (qᵀCq of exactly 0, a singular A) gives no usable
    // result; never hand out infinities or NaN as a calibration.
    if (!c.allFinite() || !Wm.allFinite())
        return false;
    for (int i = 0; i < 3; ++i)
        center[i] = c(i);
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row)
            W[col * 3 + row] = Wm(row, col);
    return true;
}
