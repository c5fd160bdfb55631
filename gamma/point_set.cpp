// The gamma point set: SetCenterRadius, BuildGammaPoints and ReadMeasurementPoints.
//
// A build takes its points either from a pre-defined grid, scaled to the user's
// radius and moved to the user's centre, or from the complex values of a gamma
// measurement, drops every point at or beyond the magnitude limit, and shows the
// result on "Load Pull Points" as the measurement "Tuner Impedances".
//
// pointCount is the number of points of the last build that got as far as
// counting them; it is 0 while a build is under way and after a build whose
// display failed, so it never exceeds what the arrays hold and a repeated request
// is answered "nothing to do" only for a set that was built and shown.
#include <cmath>
#include <memory>
#include <vector>

#include "gamma/gamma_point.h"
#include "gamma/predefined_grid.h"
#include "project/gamma_source.h"
#include "project/lpsetup.h"

namespace {

static_assert(kGammaExtraFine - kGammaCoarse + 1 == kPredefinedGridCount, "one grid source per density");

// A point enters the set only strictly inside this circle.
constexpr double kMagnitudeLimit = 0.950001;
// 1/0.95: the outer grid ring has magnitude 0.95 and is scaled to the radius.
constexpr double kGridScale = 1.0526315789473684;
constexpr double kDegreesToHalfTurns = 0.005555555555555556;  // 1/180
constexpr long kMinimumPointCount = 3;
constexpr double kMinimumRadius = 0.049999;
constexpr double kSameValueTolerance = 1e-6;
// A real part this close to zero is pushed out to +-kZeroGuard before atan2.
constexpr double kZeroGuard = 1e-6;
constexpr LONG kComplexResult = 2;

// The "Tuner Impedances" trace: symbols only, red (0x00BBGGRR), size 11, style 5.
constexpr LONG kPointsColor = 255;
constexpr LONG kPointsSymbolSize = 11;
constexpr LONG kPointsSymbolStyle = 5;
constexpr LONG kPointsLineWidth = 1;
constexpr LONG kComplexDataFormat = 1;

// The point set rounds its own way: pi deg (1/180), not pi deg / 180.
double ToRadians(double deg) { return kPi * deg * kDegreesToHalfTurns; }

// Whether the set already holds what the source would give: same origin, nothing
// changed since, and the last build of it was complete.
bool IsCurrent(const LPSetup& s, long source) {
    if (s.pointCount < kMinimumPointCount) return false;
    if (IsGridSource(source))
        return source == s.gammaSource && s.pointSourceKind == kPointsFromGrid && !s.centerRadiusChanged;
    if (source == kGammaMeasuredData)
        return s.pointSourceKind == kPointsFromMeasuredData && !s.gammaMeasurementChanged;
    return s.pointSourceKind == kPointsFromTabData && !s.tabFileMeasurementChanged;
}

void Append(LPSetup& s, double magnitude, double angleDeg) {
    if (!(magnitude < kMagnitudeLimit)) return;
    s.pointMagnitudes.push_back(magnitude);
    s.pointAnglesDeg.push_back(angleDeg);
}

// The grid of the density, scaled by radius/0.95 about its centre and moved to
// the user's centre. Points keep grid order.
void AppendMovedGrid(LPSetup& s, long count, const double* magnitudes, const double* anglesDeg) {
    const double centerAngle = ToRadians(s.centerAngleDeg);
    const double cx = s.centerMagnitude * std::cos(centerAngle);
    const double cy = s.centerMagnitude * std::sin(centerAngle);
    const double scale = s.radius * kGridScale;
    for (long i = 0; i < count; ++i) {
        const double angle = ToRadians(anglesDeg[i]);
        const double x = std::cos(angle) * magnitudes[i] * scale + cx;
        const double y = std::sin(angle) * magnitudes[i] * scale + cy;
        Append(s, std::sqrt(x * x + y * y), RadiansToDegrees(std::atan2(y, x)));
    }
}

// Puts the set on "Load Pull Points" as "Tuner Impedances" (point i at x = i,
// real and imaginary part in columns 1 and 2), styled as symbols only, then has
// the host analyse the project. Host errors are thrown; 1 when the host stopped.
long ShowPointSet(const LPSetup& s) {
    if (!s.pointsGraph) return E_FAIL;
    const host::ComPtr<IVexaMeasurements> measurements = host::Get(s.pointsGraph, &IVexaGraph::get_Measurements);
    if (host::Call(measurements, &IVexaMeasurements::RemoveAll) == S_FALSE) return 1;

    const host::Bstr source = host::Str(lpnames::kTunerImpedances);
    const host::Bstr name = host::Str(lpnames::kApi);
    const host::ComPtr<IVexaMeasurement> impedances =
        host::Get(measurements, &IVexaMeasurements::Add, source.get(), name.get());
    if (!impedances) return E_FAIL;

    const GammaPointSet set(s);
    const LONG count = static_cast<LONG>(set.Count());
    if (host::Call(impedances, &IVexaMeasurement::SetSize, count, LONG{2}) == S_FALSE) return 1;
    host::Call(impedances, &IVexaMeasurement::put_DataFormat, kComplexDataFormat);
    for (LONG i = 1; i <= count; ++i) {
        const GammaPoint p = set[i - 1];
        const double angle = ToRadians(p.angleDeg);
        host::Call(impedances, &IVexaMeasurement::put_XValue, i, static_cast<double>(i));
        host::Call(impedances, &IVexaMeasurement::put_Value, i, LONG{1}, p.magnitude * std::cos(angle));
        host::Call(impedances, &IVexaMeasurement::put_Value, i, LONG{2}, p.magnitude * std::sin(angle));
    }

    // The measurement added last owns the last trace.
    const host::ComPtr<IVexaTraces> traces = host::Get(s.pointsGraph, &IVexaGraph::get_Traces);
    if (!traces) return E_FAIL;
    const LONG last = host::Get(traces, &IVexaTraces::get_Count);
    const host::ComPtr<IVexaTrace> trace = host::Get(traces, &IVexaTraces::Item, host::Index(last));
    if (!trace) return E_FAIL;
    host::Call(trace, &IVexaTrace::put_LineVisible, VARIANT_FALSE);
    host::Call(trace, &IVexaTrace::put_SymbolsVisible, VARIANT_TRUE);
    host::Call(trace, &IVexaTrace::put_Color, kPointsColor);
    host::Call(trace, &IVexaTrace::put_SymbolSize, kPointsSymbolSize);
    host::Call(trace, &IVexaTrace::put_SymbolStyle, kPointsSymbolStyle);
    host::Call(trace, &IVexaTrace::put_LineWidth, kPointsLineWidth);

    const host::ComPtr<IVexaProject> project = host::Get(s.application, &IVexaApplication::get_Project);
    const host::ComPtr<IVexaSimulator> simulator = host::Get(project, &IVexaProject::get_Simulator);
    if (host::Call(simulator, &IVexaSimulator::Analyze, LONG{0}, LONG{-1}) == S_FALSE) return 1;
    return 0;
}

}  // namespace

// Written so that a NaN is refused too; an infinite value would move every point
// out of the chart and be kept with the settings, so it is refused as well.
LPSetup::CenterRadiusCheck LPSetup::CheckCenterRadius(double magnitude, double angleDeg, double newRadius) {
    if (!(magnitude >= 0.0)) return CenterRadiusCheck::kNegativeMagnitude;
    if (!(newRadius >= kMinimumRadius)) return CenterRadiusCheck::kRadiusTooSmall;
    if (!std::isfinite(magnitude) || !std::isfinite(angleDeg) || !std::isfinite(newRadius))
        return CenterRadiusCheck::kNotFinite;
    return CenterRadiusCheck::kAccepted;
}

bool LPSetup::IsCurrentCenterRadius(double magnitude, double angleDeg, double newRadius) const {
    return std::fabs(centerMagnitude - magnitude) < kSameValueTolerance &&
           std::fabs(centerAngleDeg - angleDeg) < kSameValueTolerance &&
           std::fabs(radius - newRadius) < kSameValueTolerance;
}

long LPSetup::SetCenterRadius(double newMagnitude, double newAngleDeg, double newRadius) {
    if (CheckCenterRadius(newMagnitude, newAngleDeg, newRadius) != CenterRadiusCheck::kAccepted) return E_FAIL;

    centerRadiusChanged = false;
    setupChanged = false;
    if (IsCurrentCenterRadius(newMagnitude, newAngleDeg, newRadius)) return 0;

    centerMagnitude = newMagnitude;
    centerAngleDeg = newAngleDeg;
    radius = newRadius;
    centerRadiusChanged = true;
    setupChanged = true;
    return 0;
}

long LPSetup::BuildGammaPoints(long source) {
    if (!IsGammaSource(source)) return E_FAIL;
    setupChanged = false;
    if (IsCurrent(*this, source)) return 0;

    return host::Guarded([&]() -> long {
        // The grid is fetched before the old set is given up, so that a grid
        // that cannot be had changes nothing.
        std::unique_ptr<double[]> gridMagnitudes, gridAngles;
        long gridCount = 0;
        if (IsGridSource(source)) {
            gridCount = MakePredefinedGrid(source, gridMagnitudes, gridAngles);
            if (gridCount <= 0) return E_FAIL;
        }

        pointMagnitudes.clear();
        pointAnglesDeg.clear();
        pointCount = 0;

        if (IsGridSource(source)) {
            // Reserved up front so that appending cannot fail between the two arrays.
            pointMagnitudes.reserve(static_cast<std::size_t>(gridCount));
            pointAnglesDeg.reserve(static_cast<std::size_t>(gridCount));
            AppendMovedGrid(*this, gridCount, gridMagnitudes.get(), gridAngles.get());
            pointSourceKind = kPointsFromGrid;
            gammaSource = source;
            centerRadiusChanged = false;
        } else {
            const long kind = source == kGammaMeasuredData ? kPointsFromMeasuredData : kPointsFromTabData;
            long count = 0;
            std::unique_ptr<double[]> magnitudes, anglesDeg;
            const long read = ReadMeasurementPoints(kind, count, magnitudes, anglesDeg);
            if (read != 0) return read;
            if (count <= 0) return E_FAIL;
            pointMagnitudes.reserve(static_cast<std::size_t>(count));
            pointAnglesDeg.reserve(static_cast<std::size_t>(count));
            for (long i = 0; i < count; ++i) Append(*this, magnitudes[i], anglesDeg[i]);
            pointSourceKind = kind;
        }

        // Until a grid has been built the dialog has no density to show.
        if (!IsGridSource(gammaSource)) return E_FAIL;
        if (pointMagnitudes.size() != pointAnglesDeg.size()) return E_FAIL;
        pointCount = static_cast<long>(pointMagnitudes.size());
        if (pointCount < kMinimumPointCount) return 1;

        long shown = 1;
        try {
            shown = ShowPointSet(*this);
        } catch (...) {
            pointCount = 0;
            throw;
        }
        if (shown != 0) {
            pointCount = 0;
            return shown;
        }
        setupChanged = true;
        return 0;
    });
}

long LPSetup::ReadMeasurementPoints(long kind, long& count, std::unique_ptr<double[]>& magnitudes,
                                    std::unique_ptr<double[]>& anglesDeg) {
    if (kind != kPointsFromMeasuredData && kind != kPointsFromTabData) return E_FAIL;
    magnitudes.reset();
    anglesDeg.reset();

    return host::Guarded([&]() -> long {
        const auto& list = kind == kPointsFromMeasuredData ? gammaMeasurements : tabFileMeasurements;
        const long index = kind == kPointsFromMeasuredData ? selectedGammaMeasurement : selectedTabFileMeasurement;
        // The selection is not checked against the list by its setter: an index
        // outside it is a missing measurement, like a null entry.
        IVexaMeasurement* measurement = nullptr;
        if (index >= 0 && static_cast<std::size_t>(index) < list.size()) measurement = list[index].get();

        const LONG n = host::Get(measurement, &IVexaMeasurement::get_PointCount);
        const LONG type = host::Get(measurement, &IVexaMeasurement::get_ResultType);
        if (n < kMinimumPointCount) return 1;
        if (type != kComplexResult) return E_FAIL;

        auto newMagnitudes = std::make_unique<double[]>(static_cast<std::size_t>(n));
        auto newAngles = std::make_unique<double[]>(static_cast<std::size_t>(n));
        for (LONG i = 1; i <= n; ++i) {
            double re = host::Get(measurement, &IVexaMeasurement::get_Value, i, LONG{1});
            const double im = host::Get(measurement, &IVexaMeasurement::get_Value, i, LONG{2});
            newMagnitudes[i - 1] = std::sqrt(im * im + re * re);
            // The magnitude takes the value as read; for the angle a real part
            // within 1e-6 of zero is pushed out to +-1e-6, and a zero of either
            // sign to +1e-6, so that the sign of a zero cannot turn a point by
            // 180 degrees.
            if (-kZeroGuard < re && re < 0.0)
                re = -kZeroGuard;
            else if (0.0 <= re && re < kZeroGuard)
                re = kZeroGuard;
            newAngles[i - 1] = RadiansToDegrees(std::atan2(im, re));
        }
        count = n;
        magnitudes = std::move(newMagnitudes);
        anglesDeg = std::move(newAngles);
        return 0;
    });
}
