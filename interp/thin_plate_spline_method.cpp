#include "interp/thin_plate_spline_method.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <mutex>

#include "interp/gauss_jordan.h"

// Everything of a solve that depends only on the normalised nodes and the
// smoothing value: K^-1, M = P^T K^-1 and (M P)^-1. The measured values enter
// only after this, so splines over the same nodes can share it.
struct K_ThinPlateSplineMethod::SharedKernel {
    // The key, compared bit for bit.
    std::vector<double> nodeX;
    std::vector<double> nodeY;
    double smoothing = 0.0;

    bool valid = false;        // both inversions succeeded
    RowMatrix inverse;         // K^-1
    std::vector<double> m[3];  // rows of M (3 x n)
    double b[3][3] = {};       // (M P)^-1

    bool Matches(const std::vector<double>& x, const std::vector<double>& y, double lambda) const {
        const std::size_t bytes = x.size() * sizeof(double);
        return nodeX.size() == x.size() &&
               std::memcmp(&smoothing, &lambda, sizeof lambda) == 0 &&
               (bytes == 0 || (std::memcmp(nodeX.data(), x.data(), bytes) == 0 &&
                               std::memcmp(nodeY.data(), y.data(), bytes) == 0));
    }
};

namespace {

// U(r), inlined into the loops that evaluate it.
inline double Kernel(double r) {
    if (!(r > 0.0)) {
        return 0.0;
    }
    const double r2 = r * r;
    return r2 * std::log(r2);
}

// The last kernel built, kept alive only by the splines that use it: when
// the last of them lets go, the matrix is freed. Process-wide, so two sweeps
// (two wizard objects in two apartments) may reach it from two threads at once:
// the slot is only read or replaced under its lock, and a kernel, once built,
// is never changed, so splines on any thread may share it. The lock is held
// for the exchange of a pointer only, never during an inversion. Not
// thread_local: a destructor registered for a thread from a DLL may run after
// the DLL has been unloaded.
class KernelSlot {
public:
    std::shared_ptr<const K_ThinPlateSplineMethod::SharedKernel> Get() {
        std::lock_guard<std::mutex> hold(lock_);
        return last_.lock();
    }
    void Put(const std::shared_ptr<const K_ThinPlateSplineMethod::SharedKernel>& kernel) {
        std::lock_guard<std::mutex> hold(lock_);
        last_ = kernel;
    }

private:
    std::mutex lock_;
    std::weak_ptr<const K_ThinPlateSplineMethod::SharedKernel> last_;
};

KernelSlot lastKernel;
std::atomic<long> kernelInversions{0};

std::shared_ptr<const K_ThinPlateSplineMethod::SharedKernel> BuildKernel(
    const std::vector<double>& nodeX, const std::vector<double>& nodeY, double smoothing) {
    auto shared = std::make_shared<K_ThinPlateSplineMethod::SharedKernel>();
    shared->nodeX = nodeX;
    shared->nodeY = nodeY;
    shared->smoothing = smoothing;

    const std::size_t n = nodeX.size();
    const int size = static_cast<int>(n);

    // K is symmetric bit for bit ((a - b)^2 == (b - a)^2), so each pair is
    // evaluated once.
    RowMatrix k(size);
    for (std::size_t i = 0; i < n; ++i) {
        double* const rowI = k[static_cast<int>(i)];
        rowI[i] = smoothing;
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dy = nodeY[i] - nodeY[j];
            const double dx = nodeX[i] - nodeX[j];
            const double u = Kernel(std::sqrt(dy * dy + dx * dx));
            rowI[j] = u;
            k[static_cast<int>(j)][i] = u;
        }
    }

    ++kernelInversions;
    if (!GaussJordanInvert(k.Rows(), size)) {
        return shared;
    }

    // M = P^T K^-1 with P's rows (1, nodeX_k, nodeY_k); each sum runs over k
    // in ascending order.
    for (auto& row : shared->m) {
        row.assign(n, 0.0);
    }
    double* const m0 = shared->m[0].data();
    double* const m1 = shared->m[1].data();
    double* const m2 = shared->m[2].data();
    for (std::size_t r = 0; r < n; ++r) {
        const double* const inv = k[static_cast<int>(r)];
        const double p1 = nodeX[r];
        const double p2 = nodeY[r];
        for (std::size_t j = 0; j < n; ++j) {
            m0[j] = m0[j] + 1.0 * inv[j];
            m1[j] = m1[j] + p1 * inv[j];
            m2[j] = m2[j] + p2 * inv[j];
        }
    }

    // B = M P, then B^-1 in place.
    double b[3][3];
    for (int r = 0; r < 3; ++r) {
        const double* const mr = shared->m[r].data();
        double s0 = 0.0;
        double s1 = 0.0;
        double s2 = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            s0 = s0 + mr[j] * 1.0;
            s1 = s1 + mr[j] * nodeX[j];
            s2 = s2 + mr[j] * nodeY[j];
        }
        b[r][0] = s0;
        b[r][1] = s1;
        b[r][2] = s2;
    }
    double* bRows[3] = {b[0], b[1], b[2]};
    if (!GaussJordanInvert(bRows, 3)) {
        return shared;
    }
    for (int r = 0; r < 3; ++r) {
        for (int q = 0; q < 3; ++q) {
            shared->b[r][q] = bRows[r][q];
        }
    }
    shared->inverse = std::move(k);
    shared->valid = true;
    return shared;
}

}  // namespace

double ThinPlateKernel(double r) {
    return Kernel(r);
}

K_ThinPlateSplineMethod::K_ThinPlateSplineMethod() : K_UseVectorStorage(0, 1) {
    doubleParams[0] = 0.0;
}

K_ThinPlateSplineMethod::~K_ThinPlateSplineMethod() = default;

long K_ThinPlateSplineMethod::KernelInversionCount() {
    return kernelInversions.load();
}

void K_ThinPlateSplineMethod::AddPoint(double x, double y, double z) {
    fitStale = true;
    K_UseVectorStorage::AddPoint(x, y, z);
}

void K_ThinPlateSplineMethod::ClearPoints() {
    fitStale = true;
    K_UseVectorStorage::ClearPoints();
}

double K_ThinPlateSplineMethod::Interpolate(double x, double y) {
    smoothing = doubleParams[0];
    sampleCount = static_cast<int>(samples.size());
    if (fitStale) {
        Solve();
    }
    if (!fitValid) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double xn = (x - xMin) * xScale;
    const double yn = (y - yMin) * yScale;
    double f = (yn * affine[2] + xn * affine[1]) + affine[0];
    const std::size_t n = weights.size();
    // In three loops: the distances vectorise, the logarithms run without a
    // dependency between them, and the sum keeps its order.
    evaluation.resize(n);
    double* const u = evaluation.data();
    const double* const nx = nodeX.data();
    const double* const ny = nodeY.data();
    for (std::size_t i = 0; i < n; ++i) {
        const double dx = xn - nx[i];
        const double dy = yn - ny[i];
        u[i] = std::sqrt(dx * dx + dy * dy);
    }
    for (std::size_t i = 0; i < n; ++i) {
        u[i] = Kernel(u[i]);
    }
    const double* const w = weights.data();
    for (std::size_t i = 0; i < n; ++i) {
        f = f + w[i] * u[i];
    }
    return f;
}

void K_ThinPlateSplineMethod::Solve() {
    ++solveCount;
    fitValid = false;
    const std::size_t n = static_cast<std::size_t>(sampleCount);
    nodeX.assign(n, 0.0);
    nodeY.assign(n, 0.0);
    weights.assign(n, 0.0);
    if (n == 0) {
        kernel.reset();
        return;  // nothing to normalise by: the fit stays invalid
    }

    xMin = xMax = samples[0].x;
    for (std::size_t k = 1; k < n; ++k) {
        if (samples[k].x < xMin) {
            xMin = samples[k].x;
        }
        if (samples[k].x > xMax) {
            xMax = samples[k].x;
        }
    }
    xScale = 1.0 / (xMax - xMin);
    for (std::size_t k = 0; k < n; ++k) {
        nodeX[k] = (samples[k].x - xMin) * xScale;
    }
    yMin = yMax = samples[0].y;
    for (std::size_t k = 1; k < n; ++k) {
        if (samples[k].y < yMin) {
            yMin = samples[k].y;
        }
        if (samples[k].y > yMax) {
            yMax = samples[k].y;
        }
    }
    yScale = 1.0 / (yMax - yMin);
    for (std::size_t k = 0; k < n; ++k) {
        nodeY[k] = (samples[k].y - yMin) * yScale;
    }

    std::shared_ptr<const SharedKernel> shared = lastKernel.Get();
    if (!shared || !shared->Matches(nodeX, nodeY, smoothing)) {
        shared = BuildKernel(nodeX, nodeY, smoothing);
        lastKernel.Put(shared);
    }
    kernel = shared;
    if (!shared->valid) {
        return;
    }

    // t = M z, a = B^-1 t, e = z - P a, w = K^-1 e; sums in ascending order.
    double t[3];
    for (int q = 0; q < 3; ++q) {
        const double* const mq = shared->m[q].data();
        double s = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            s = s + mq[k] * samples[k].z;
        }
        t[q] = s;
    }
    double a[3];
    for (int r = 0; r < 3; ++r) {
        double s = 0.0;
        for (int q = 0; q < 3; ++q) {
            s = s + shared->b[r][q] * t[q];
        }
        a[r] = s;
    }
    std::vector<double> e(n);
    for (std::size_t k = 0; k < n; ++k) {
        e[k] = samples[k].z - 1.0 * a[0] - nodeX[k] * a[1] - nodeY[k] * a[2];
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double* const inv = shared->inverse[static_cast<int>(i)];
        double s = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            s = s + inv[j] * e[j];
        }
        weights[i] = s;
    }

    affine[0] = a[0];
    affine[1] = a[1];
    affine[2] = a[2];
    fitValid = true;
    fitStale = false;
}
