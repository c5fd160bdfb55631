#include "vexasim/app/pursuit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/angles.h"
#include "interp/thin_plate_spline_method.h"
#include "vexasim/report/leave_one_out.h"
#include "vexasim/report/run_results.h"

namespace vexasim {
namespace {

// The dialog refuses a radius below 0.05. A grid that moves towards an optimum
// widens to 0.4 at most: wider, a moved grid reaches loads near the chart's edge
// where a real device may find no steady state, and costs as many analyses for a
// coarser view.
const double kSmallestRadius = 0.05;
const double kWidestRadius = 0.4;
// The wizard leaves out loads beyond |gamma| 0.95: a grid reaching further costs
// nothing there but sees nothing either.
const double kRim = 0.95;
// A maximum this close to the region's edge (in radii of the round, 0.4 of the
// Coarse grid's ring spacing) is taken as on it: the optimum may lie beyond.
const double kEdgeDepth = 0.1;
// The leave-one-out errors that tell how well the maximum is known: those of the
// samples nearest to it.
const size_t kNeighbours = 4;
// Levels of the trade-off line between its two ends.
const int kTradeOffLevels = 24;

// One measurement's spline over the samples of one round.
class RoundFit {
public:
    RoundFit(const RoundData& data, int column) {
        for (const Sample& s : data.samples.rows) {
            const double z = static_cast<size_t>(column) < s.values.size() ? s.values[column] : NAN;
            const GammaPoint p = SamplePoint(s);
            if (!std::isfinite(z) || !std::isfinite(p.re) || !std::isfinite(p.im)) continue;
            points.push_back(p);
            values.push_back(z);
            spline_.AddPoint(p.re, p.im, z);
        }
        region = Region::Hull(points);
    }
    double Value(double re, double im) const { return spline_.Interpolate(re, im); }
    bool Usable() { return !region.Empty() && std::isfinite(spline_.Interpolate(points[0].re, points[0].im)); }

    std::vector<GammaPoint> points;
    std::vector<double> values;
    Region region;

private:
    mutable K_ThinPlateSplineMethod spline_;
};

struct Peak {
    bool found = false;
    GammaPoint at;
    double value = 0;
};

// The lattice of the region's bounding box at the step, inside the region, and the
// samples themselves.
std::vector<GammaPoint> Candidates(const RoundFit& fit, double step) {
    std::vector<GammaPoint> out = fit.points;
    double x0 = 1, x1 = -1, y0 = 1, y1 = -1;
    for (const GammaPoint& v : fit.region.Vertices()) {
        x0 = std::min(x0, v.re), x1 = std::max(x1, v.re);
        y0 = std::min(y0, v.im), y1 = std::max(y1, v.im);
    }
    for (double y = y0; y <= y1; y += step)
        for (double x = x0; x <= x1; x += step)
            if (fit.region.Contains(x, y, 0.0)) out.push_back({x, y});
    return out;
}

// The spline's largest value inside the region: the best of a lattice, then a
// pattern search that halves its step down to 1e-5 in gamma.
Peak MaximiseInRegion(const RoundFit& fit, double step) {
    Peak best;
    for (const GammaPoint& p : Candidates(fit, step)) {
        const double v = fit.Value(p.re, p.im);
        if (std::isfinite(v) && (!best.found || v > best.value)) best = {true, p, v};
    }
    if (!best.found) return best;
    for (double h = step; h > 1e-5; h /= 2) {
        bool moved = true;
        while (moved) {
            moved = false;
            for (int k = 0; k < 8; ++k) {
                const double a = kPi / 4 * k;
                const GammaPoint q{best.at.re + h * std::cos(a), best.at.im + h * std::sin(a)};
                if (!fit.region.Contains(q.re, q.im, 0.0)) continue;
                const double v = fit.Value(q.re, q.im);
                if (v > best.value) {
                    best = {true, q, v};
                    moved = true;
                }
            }
        }
    }
    return best;
}

// A least-squares quadratic over a round's samples, in coordinates about the
// round's centre in its radii: smooth where the spline follows every sample, so
// that its slope and curvature at the edge of the region say how far on the
// maximum lies.
class Quadratic {
public:
    Quadratic(const RoundFit& fit, GammaPoint centre, double radius) : centre_(centre), scale_(radius) {
        double a[6][7] = {};
        for (size_t i = 0; i < fit.points.size(); ++i) {
            double f[6];
            Terms(fit.points[i], f);
            for (int r = 0; r < 6; ++r) {
                for (int c = 0; c < 6; ++c) a[r][c] += f[r] * f[c];
                a[r][6] += f[r] * fit.values[i];
            }
        }
        // Gauss-Jordan with partial pivoting; a pivot near zero (the samples lie on
        // one line or a conic) leaves the model unusable.
        double largest = 0;
        for (int r = 0; r < 6; ++r) largest = std::max(largest, std::fabs(a[r][r]));
        for (int c = 0; c < 6; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 6; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
            if (!(std::fabs(a[pivot][c]) > 1e-12 * largest)) return;
            for (int k = 0; k < 7; ++k) std::swap(a[c][k], a[pivot][k]);
            for (int r = 0; r < 6; ++r) {
                if (r == c) continue;
                const double m = a[r][c] / a[c][c];
                for (int k = c; k < 7; ++k) a[r][k] -= m * a[c][k];
            }
        }
        for (int r = 0; r < 6; ++r) c_[r] = a[r][6] / a[r][r];
        ok_ = std::all_of(c_, c_ + 6, [](double v) { return std::isfinite(v); });
    }

    bool Usable() const { return ok_; }

    // The slope at a point, per unit of gamma.
    GammaPoint Gradient(GammaPoint p) const {
        const double u = (p.re - centre_.re) / scale_, v = (p.im - centre_.im) / scale_;
        return {(c_[1] + 2 * c_[3] * u + c_[4] * v) / scale_, (c_[2] + c_[4] * u + 2 * c_[5] * v) / scale_};
    }

    // How far from p along the unit direction d the model is largest, in gamma;
    // infinite when it rises without end that way.
    double StepAlong(GammaPoint p, GammaPoint d) const {
        const GammaPoint g = Gradient(p);
        const double slope = g.re * d.re + g.im * d.im;
        const double curvature = 2 * (c_[3] * d.re * d.re + c_[4] * d.re * d.im + c_[5] * d.im * d.im) / (scale_ * scale_);
        if (!(curvature < 0)) return INFINITY;
        return std::max(0.0, -slope / curvature);
    }

private:
    void Terms(GammaPoint p, double f[6]) const {
        const double u = (p.re - centre_.re) / scale_, v = (p.im - centre_.im) / scale_;
        f[0] = 1, f[1] = u, f[2] = v, f[3] = u * u, f[4] = u * v, f[5] = v * v;
    }

    GammaPoint centre_;
    double scale_;
    double c_[6] = {};
    bool ok_ = false;
};

// What a round shows of one measurement.
struct Assessment {
    Peak peak;
    bool onEdge = false;
    double error = NAN;  // the largest leave-one-out error of the samples next to the peak
    // On the edge: the way on, a unit vector, and how far along it the round's
    // quadratic has its maximum (infinite: it keeps rising; NaN: no model).
    GammaPoint way;
    double step = NAN;
};

Assessment Assess(const RoundData& data, int column, const RoundGrid& grid) {
    Assessment a;
    const double radius = grid.radius;
    RoundFit fit(data, column);
    if (!fit.Usable()) return a;
    a.peak = MaximiseInRegion(fit, radius / 40);
    if (!a.peak.found) return a;
    a.onEdge = fit.region.DepthOf(a.peak.at.re, a.peak.at.im) < kEdgeDepth * radius;
    if (a.onEdge) {
        const double angle = DegreesToRadians(grid.centerAngDeg);
        const GammaPoint centre{grid.centerMag * std::cos(angle), grid.centerMag * std::sin(angle)};
        GammaPoint out{a.peak.at.re - centre.re, a.peak.at.im - centre.im};
        const double n = std::hypot(out.re, out.im);
        out = n > 0 ? GammaPoint{out.re / n, out.im / n} : GammaPoint{1, 0};
        a.way = out;
        const Quadratic model(fit, centre, radius);
        if (model.Usable()) {
            // Up the model's slope where it leads out of the region; along the edge
            // or back in, the slope is the spline's wiggle and the way out is away
            // from the centre.
            const GammaPoint g = model.Gradient(a.peak.at);
            const double gn = std::hypot(g.re, g.im);
            if (gn > 0 && (g.re * out.re + g.im * out.im) > 0.5 * gn) a.way = {g.re / gn, g.im / gn};
            a.step = model.StepAlong(a.peak.at, a.way);
        }
    }
    const std::vector<double> errors = LeaveOneOut(fit.points).Errors(fit.values);
    std::vector<size_t> order(fit.points.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto distance = [&](size_t i) {
        return std::hypot(fit.points[i].re - a.peak.at.re, fit.points[i].im - a.peak.at.im);
    };
    std::sort(order.begin(), order.end(), [&](size_t i, size_t j) { return distance(i) < distance(j); });
    size_t used = 0;
    for (size_t i : order) {
        if (used == kNeighbours) break;
        if (!std::isfinite(errors[i])) continue;
        a.error = std::isfinite(a.error) ? std::max(a.error, std::fabs(errors[i])) : std::fabs(errors[i]);
        ++used;
    }
    return a;
}

// Where a sweep that failed stopped: the wizard sweeps the grid's outer ring first,
// counter-clockwise from the centre's right at even steps, so the load after the
// last one simulated is the one that failed. NaN where the samples are not so.
GammaPoint FailedLoad(const RoundGrid& grid, const SampleTable& samples) {
    const GammaPoint none{NAN, NAN};
    const double a = DegreesToRadians(grid.centerAngDeg), r = grid.radius;
    const GammaPoint c{grid.centerMag * std::cos(a), grid.centerMag * std::sin(a)};
    std::vector<double> angles;
    for (const Sample& s : samples.rows) {
        const GammaPoint p = SamplePoint(s);
        if (std::fabs(std::hypot(p.re - c.re, p.im - c.im) - r) > 1e-4) return none;
        angles.push_back(std::atan2(p.im - c.im, p.re - c.re));
    }
    if (angles.empty()) return {c.re + r, c.im};
    if (angles.size() < 2) return none;
    auto turn = [](double from, double to) {
        double d = std::remainder(to - from, 2 * kPi);
        return d <= 0 ? d + 2 * kPi : d;
    };
    const double step = turn(angles[0], angles[1]);
    for (size_t i = 2; i < angles.size(); ++i)
        if (std::fabs(turn(angles[i - 1], angles[i]) - step) > 1e-4) return none;
    const double next = angles.back() + step;
    return {c.re + r * std::cos(next), c.im + r * std::sin(next)};
}

// A grid as the dialog will read it back from its text.
RoundGrid GridAt(GammaPoint centre, double radius) {
    RoundGrid g;
    g.centerMag = std::strtod(GridNumber(std::hypot(centre.re, centre.im)).c_str(), nullptr);
    g.centerAngDeg = std::strtod(GridNumber(RadiansToDegrees(std::atan2(centre.im, centre.re))).c_str(), nullptr);
    g.radius = std::strtod(GridNumber(radius).c_str(), nullptr);
    return g;
}

class Pursuit {
public:
    Pursuit(const PursuitSettings& settings, const RoundRunner& runner, PursuitReport& report)
        : settings_(settings), runner_(runner), report_(report) {}

    bool Run() {
        RoundGrid start;
        start.centerMag = settings_.centerMag;
        start.centerAngDeg = settings_.centerAngDeg;
        start.radius = settings_.radius;
        if (!RunRound(start)) return false;
        for (const std::string& name : settings_.measurements) {
            std::string column;
            if (!ResolveMeasurement(rounds_[0].samples.columns, name, column, report_.error)) return false;
            for (const PursuedOptimum& o : report_.optima)
                if (o.measurement == column) {
                    report_.error = "--pursue names " + column + " twice";
                    return false;
                }
            columns_.push_back(static_cast<int>(std::find(rounds_[0].samples.columns.begin(),
                                                          rounds_[0].samples.columns.end(), column) -
                                                rounds_[0].samples.columns.begin()));
            PursuedOptimum o;
            o.measurement = column;
            o.unit = rounds_[0].units[static_cast<size_t>(columns_.back())];
            o.displayUnit = rounds_[0].displayUnits[static_cast<size_t>(columns_.back())];
            report_.optima.push_back(o);
        }
        for (size_t m = 0; m < report_.optima.size(); ++m)
            if (!PursueOne(m)) return false;
        if (report_.optima.size() == 2) return TradeOff();
        return true;
    }

private:
    // The radius of a grid about the centre that stays short of the loads where
    // sweeps failed and of the rim the wizard keeps to.
    double Reachable(const RoundGrid& grid, double radius) const {
        // The first round is the user's grid as given.
        const double reach = rounds_.empty() ? reach_ : std::min(reach_, kRim);
        return std::max(kSmallestRadius, std::min(radius, reach - grid.centerMag));
    }

    // Runs a round on the grid. A round after the first whose sweep failed (a real
    // device may find no steady state at loads near the chart's edge) is run again
    // on half the radius, twice at most, and later grids keep within the |gamma|
    // it reached; its analyses still count.
    bool RunRound(RoundGrid grid) {
        RoundData data;
        int round = static_cast<int>(report_.grids.size()) + 1;
        grid.radius = Reachable(grid, grid.radius);
        for (int retry = 0; !runner_(round, grid, data, report_.error); ++retry) {
            report_.analyses += static_cast<int>(data.samples.rows.size());
            report_.grids.push_back(grid);
            ++report_.failedRounds;
            if (rounds_.empty() || retry == 2) return false;
            // Later grids keep short of the load that failed, or of the failed grid's
            // far side where that load is not known; the round is run again on half
            // the radius, its centre drawn in as far as that takes. A load that failed
            // on the grid's inner half says nothing of the loads towards the rim.
            const GammaPoint failed = FailedLoad(grid, data.samples);
            const double a = DegreesToRadians(grid.centerAngDeg);
            if (!std::isfinite(failed.re))
                reach_ = std::min(reach_, grid.centerMag + grid.radius - 0.01);
            else if ((failed.re - grid.centerMag * std::cos(a)) * std::cos(a) +
                         (failed.im - grid.centerMag * std::sin(a)) * std::sin(a) >= 0)
                reach_ = std::min(reach_, std::hypot(failed.re, failed.im) - 0.01);
            const double radius = std::max(kSmallestRadius, grid.radius / 2);
            const double mag = std::max(0.0, std::min(grid.centerMag, reach_ - radius));
            if (grid.radius <= kSmallestRadius + 1e-9 && mag == grid.centerMag) return false;
            grid.centerMag = std::strtod(GridNumber(mag).c_str(), nullptr);
            grid.radius = Reachable(grid, radius);
            data = RoundData();
            ++round;
        }
        if (data.samples.rows.empty()) {
            report_.error = "round " + std::to_string(round) + " simulated no load";
            return false;
        }
        data.units.resize(data.samples.columns.size());
        data.displayUnits.resize(data.samples.columns.size());
        report_.analyses += static_cast<int>(data.samples.rows.size());
        report_.grids.push_back(grid);
        rounds_.push_back(std::move(data));
        grids_.push_back(grid);
        roundNumber_.push_back(round);
        return true;
    }

    // The round a pursuit starts from: the first measurement's, the start; the
    // second's, the round whose maximum of it lies inside its region at the
    // smallest radius (it was sampled in every round), else the last round.
    size_t StartRound(size_t m) const {
        if (m == 0) return 0;
        size_t best = rounds_.size() - 1;
        double radius = INFINITY;
        for (size_t r = 0; r < rounds_.size(); ++r) {
            const Assessment a = Assess(rounds_[r], columns_[m], grids_[r]);
            if (a.peak.found && !a.onEdge && grids_[r].radius < radius) {
                best = r;
                radius = grids_[r].radius;
            }
        }
        return best;
    }

    bool PursueOne(size_t m) {
        PursuedOptimum& o = report_.optima[m];
        size_t current = StartRound(m);
        int ran = m == 0 ? 1 : 0;  // the rounds this pursuit asked for
        bool shrunk = false;
        for (;;) {
            const RoundGrid grid = grids_[current];
            const Assessment a = Assess(rounds_[current], columns_[m], grid);
            if (!a.peak.found) {
                report_.error = "round " + std::to_string(roundNumber_[current]) + " gives " + o.measurement +
                                " no spline: its samples are not all finite or lie on one line";
                return false;
            }
            if (o.tolerance <= 0)
                o.tolerance = settings_.tolerance > 0 ? settings_.tolerance : DefaultTolerance(o.unit, a.peak.value);
            o.at = a.peak.at;
            o.value = a.peak.value;
            o.uncertainty = a.error;
            o.onEdge = a.onEdge;
            o.round = roundNumber_[current];
            if (!a.onEdge && a.error <= o.tolerance) {
                o.end = PursuitEnd::kConverged;
                return true;
            }
            if (!a.onEdge && grid.radius <= kSmallestRadius + 1e-9) {
                o.end = PursuitEnd::kSmallestGrid;
                return true;
            }
            if (ran >= settings_.maxRounds) {
                o.end = PursuitEnd::kRoundLimit;
                return true;
            }
            // On the edge the grid moves there without shrinking, and widens so that
            // a far optimum is reached in few rounds. Inside, it shrinks about the
            // maximum by the ratio of the tolerance to the error there (between a half
            // and a quarter): at a peak with a corner, such as where the knee starts
            // to limit the swing, the spline's error falls in proportion to the
            // spacing of the samples.
            double radius = grid.radius;
            GammaPoint centre = a.peak.at;
            if (a.onEdge) {
                // Once the grid has shrunk about a maximum, an edge is a small miss:
                // it moves without widening.
                if (!shrunk) radius = std::max(radius, std::min(2 * radius, kWidestRadius));
                // The centre goes on beyond the edge to where the round's quadratic
                // is largest, by the new radius at most: far from the optimum a round
                // reaches the next region in one step, and the maximum found stays
                // inside the new grid.
                const double step = std::isnan(a.step) ? 0.5 * radius : std::min(a.step, radius);
                centre = {centre.re + step * a.way.re, centre.im + step * a.way.im};
                // A grid that would reach beyond the loads the grid can reach spans
                // instead the way from the maximum out to them.
                const double reach = std::min(reach_, kRim);
                if (std::hypot(centre.re, centre.im) + radius > reach) {
                    const GammaPoint p = a.peak.at;
                    const double pd = p.re * a.way.re + p.im * a.way.im;
                    const double out = -pd + std::sqrt(std::max(0.0, pd * pd + reach * reach - (p.re * p.re + p.im * p.im)));
                    const double half = std::max(0.0, std::min(out, 2 * radius)) / 2;
                    centre = {p.re + half * a.way.re, p.im + half * a.way.im};
                    radius = std::max(kSmallestRadius, std::min(radius, half + kEdgeDepth * grid.radius));
                }
            } else {
                shrunk = true;
                const double f = std::isfinite(a.error) && a.error > 0 ? o.tolerance / a.error : 0.25;
                radius *= std::min(0.5, std::max(0.25, f));
                // Not a round for a few thousandths of radius: a grid about to be
                // the smallest is.
                if (radius < 1.5 * kSmallestRadius) radius = kSmallestRadius;
            }
            // The centre keeps within the loads the grid reaches.
            const double farthest = std::min(reach_, kRim) - kSmallestRadius;
            const double m = std::hypot(centre.re, centre.im);
            if (m > farthest) centre = {centre.re * farthest / m, centre.im * farthest / m};
            RoundGrid next = GridAt(centre, radius);
            next.radius = Reachable(next, next.radius);
            // On the edge where the grid can neither move nor widen, another round
            // would repeat this one.
            if (a.onEdge && std::fabs(next.centerMag - grid.centerMag) < 1e-6 &&
                std::fabs(next.centerAngDeg - grid.centerAngDeg) < 1e-6 && std::fabs(next.radius - grid.radius) < 1e-6) {
                o.end = PursuitEnd::kAtRim;
                return true;
            }
            if (!RunRound(next)) return false;
            ++ran;
            current = rounds_.size() - 1;
        }
    }

    // The trade-off line, on a round that holds both optima well inside its region
    // and is not much wider than their distance: an earlier one, or one more
    // centred between them.
    bool TradeOff() {
        const GammaPoint a = report_.optima[0].at, b = report_.optima[1].at;
        const double d = std::hypot(a.re - b.re, a.im - b.im);
        const double margin = std::max(0.25 * d, 0.005);
        int chosen = -1;
        for (size_t r = 0; r < rounds_.size(); ++r) {
            RoundFit fit(rounds_[r], columns_[0]);
            if (grids_[r].radius <= std::max(kSmallestRadius, 1.5 * d) && fit.region.DepthOf(a.re, a.im) >= margin && fit.region.DepthOf(b.re, b.im) >= margin &&
                (chosen < 0 || grids_[r].radius <= grids_[static_cast<size_t>(chosen)].radius))
                chosen = static_cast<int>(r);
        }
        if (chosen < 0) {
            if (!RunRound(GridAt({(a.re + b.re) / 2, (a.im + b.im) / 2}, std::max(kSmallestRadius, 0.75 * d)))) return false;
            chosen = static_cast<int>(rounds_.size()) - 1;
        }
        report_.tradeOffRound = roundNumber_[static_cast<size_t>(chosen)];
        const RoundData& data = rounds_[static_cast<size_t>(chosen)];
        const RoundFit first(data, columns_[0]), second(data, columns_[1]);
        const double radius = grids_[static_cast<size_t>(chosen)].radius;
        // The ends: each measurement's maximum on this round's splines.
        const Peak pa = MaximiseInRegion(first, radius / 40), pb = MaximiseInRegion(second, radius / 40);
        if (!pa.found || !pb.found) return true;
        // Between them: per level of the second measurement, the load of the lattice
        // (and the samples) where the first is largest with the second at least at
        // that level; of equal firsts, the larger second.
        struct Candidate {
            GammaPoint at;
            double first, second;
        };
        std::vector<Candidate> all;
        for (const GammaPoint& p : Candidates(first, radius / 60))
            all.push_back({p, first.Value(p.re, p.im), second.Value(p.re, p.im)});
        all.push_back({pa.at, pa.value, second.Value(pa.at.re, pa.at.im)});
        all.push_back({pb.at, first.Value(pb.at.re, pb.at.im), pb.value});
        const double low = all[all.size() - 2].second, high = pb.value;
        report_.tradeOff.push_back({pa.at, pa.value, low});
        for (int k = 1; k < kTradeOffLevels; ++k) {
            const double level = low + (high - low) * k / kTradeOffLevels;
            const Candidate* best = nullptr;
            for (const Candidate& c : all)
                if (c.second >= level && (!best || c.first > best->first ||
                                          (c.first == best->first && c.second > best->second)))
                    best = &c;
            if (!best) continue;
            const TradeOffPoint& last = report_.tradeOff.back();
            if (best->at.re != last.at.re || best->at.im != last.at.im)
                report_.tradeOff.push_back({best->at, best->first, best->second});
        }
        const TradeOffPoint& last = report_.tradeOff.back();
        if (pb.at.re != last.at.re || pb.at.im != last.at.im)
            report_.tradeOff.push_back({pb.at, all.back().first, pb.value});
        return true;
    }

    const PursuitSettings& settings_;
    const RoundRunner& runner_;
    PursuitReport& report_;
    std::vector<RoundData> rounds_;  // the rounds that gave samples
    std::vector<RoundGrid> grids_;
    std::vector<int> roundNumber_;
    double reach_ = INFINITY;  // the largest |gamma| of centre plus radius since a sweep failed
    std::vector<int> columns_;
};

std::string Number(double v, const char* format = "%.4g") {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string WithItsUnit(double v, const std::string& unit, const char* format = "%.4g") {
    if (unit.empty()) return Number(v, format);
    return Number(v, format) + (unit == "%" ? "" : " ") + unit;
}

}  // namespace

std::string GridNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", std::fabs(v) < 5e-7 ? 0.0 : v);
    return buf;
}

bool ParsePursuitOption(const std::string& option, const std::string& value, PursuitSettings& settings,
                        std::string& error) {
    if (option == "--pursue") {
        settings.measurements.clear();
        for (size_t at = 0;;) {
            const size_t comma = value.find(',', at);
            settings.measurements.push_back(value.substr(at, comma == std::string::npos ? comma : comma - at));
            if (settings.measurements.back().empty() || settings.measurements.size() > 2) {
                error = "--pursue takes one measurement or two: Pout, or Pout,PAE";
                return false;
            }
            if (comma == std::string::npos) return true;
            at = comma + 1;
        }
    }
    char* end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (option == "--tolerance") {
        if (value.empty() || *end || !(v > 0) || !std::isfinite(v)) {
            error = "--tolerance takes a positive number, in the unit of the measurement's differences (dB, %)";
            return false;
        }
        settings.tolerance = v;
        return true;
    }
    if (option == "--rounds") {
        if (value.empty() || *end || !(v >= 1 && v <= 50) || v != std::floor(v)) {
            error = "--rounds takes a whole number from 1 to 50";
            return false;
        }
        settings.maxRounds = static_cast<int>(v);
        return true;
    }
    error = "unknown option " + option;
    return false;
}

Overlay PursuitPath(const PursuitReport& report) {
    Overlay o;
    o.name = "pursuit: centres of rounds 1-" + std::to_string(report.grids.size());
    o.colour = "#666666";
    o.width = 1.5;
    o.numbered = true;
    for (const RoundGrid& g : report.grids) {
        const double a = DegreesToRadians(g.centerAngDeg);
        o.points.push_back({g.centerMag * std::cos(a), g.centerMag * std::sin(a)});
    }
    return o;
}

Overlay TradeOffLine(const PursuitReport& report) {
    Overlay o;
    o.colour = "#1a9850";
    o.width = 3.5;
    o.dots = true;
    if (report.optima.size() == 2) {
        o.name = "trade-off " + report.optima[0].measurement + " / " + report.optima[1].measurement;
        for (const PursuedOptimum& m : report.optima) {
            o.valueNames.push_back(m.measurement);
            o.valueUnits.push_back(m.displayUnit);
        }
    }
    for (const TradeOffPoint& p : report.tradeOff) {
        o.points.push_back(p.at);
        o.values.push_back({p.first, p.second});
    }
    // A line of one load (the two optima coincide) is drawn as a short tick.
    if (o.points.size() == 1) {
        o.points.push_back({o.points[0].re + 0.004, o.points[0].im});
        o.values.push_back(o.values[0]);
    }
    return o;
}

void PursuitView(const PursuitReport& report, GammaPoint& centre, double& halfWidth) {
    centre = {0, 0};
    halfWidth = 1;
    if (report.grids.empty()) return;
    // The last round's grid, the optima and the trade-off line.
    const RoundGrid& g = report.grids.back();
    const double a = DegreesToRadians(g.centerAngDeg);
    const GammaPoint c{g.centerMag * std::cos(a), g.centerMag * std::sin(a)};
    double x0 = c.re - g.radius, x1 = c.re + g.radius, y0 = c.im - g.radius, y1 = c.im + g.radius;
    auto take = [&](const GammaPoint& p) {
        x0 = std::min(x0, p.re), x1 = std::max(x1, p.re);
        y0 = std::min(y0, p.im), y1 = std::max(y1, p.im);
    };
    for (const PursuedOptimum& o : report.optima) take(o.at);
    for (const TradeOffPoint& p : report.tradeOff) take(p.at);
    // With a margin that shows the way the pursuit came and the lines around.
    const double half = std::max(0.15, 0.9 * std::max(x1 - x0, y1 - y0));
    if (half >= 0.6) return;  // hardly closer than the whole chart
    centre = {(x0 + x1) / 2, (y0 + y1) / 2};
    halfWidth = half;
}

bool ResolveMeasurement(const std::vector<std::string>& columns, const std::string& name, std::string& column,
                        std::string& error) {
    std::vector<std::string> found;
    for (const std::string& c : columns)
        if (c == name) {
            column = c;
            return true;
        } else if (c.size() > name.size() && c.compare(c.size() - name.size(), name.size(), name) == 0 &&
                   c[c.size() - name.size() - 1] == ':') {
            found.push_back(c);
        }
    if (found.size() == 1) {
        column = found[0];
        return true;
    }
    std::string list;
    for (const std::string& c : found.empty() ? columns : found) list += (list.empty() ? "" : ", ") + c;
    error = found.empty() ? "--pursue: no measurement " + name + " on the project's graphs (there are: " + list + ")"
                          : "--pursue: " + name + " names several measurements (" + list + "); give SOURCE:NAME";
    return false;
}

double DefaultTolerance(const std::string& unit, double value) {
    if (unit == "dB") return 0.05;
    if (unit == "%") return 0.5;
    return std::max(1e-12, 0.01 * std::fabs(value));  // another unit: 1 percent of the value
}

PursuitReport Pursue(const PursuitSettings& settings, const RoundRunner& runRound) {
    PursuitReport report;
    if (settings.measurements.empty() || settings.measurements.size() > 2) {
        report.error = "--pursue takes one measurement or two (MEASUREMENT or MEASUREMENT,MEASUREMENT)";
        return report;
    }
    Pursuit pursuit(settings, runRound, report);
    report.ok = pursuit.Run();
    return report;
}

std::string PursuitSummary(const PursuitReport& report) {
    std::string out;
    for (const PursuedOptimum& o : report.optima) {
        const std::string tol = WithItsUnit(o.tolerance, o.unit, "%.3g");
        out += "pursuit of " + o.measurement + ": ";
        switch (o.end) {
            case PursuitEnd::kConverged:
                out += "converged in round " + std::to_string(o.round) + ": the maximum lies inside the simulated "
                       "region and the leave-one-out error next to it is below " + tol + "\n";
                break;
            case PursuitEnd::kSmallestGrid:
                out += "stopped in round " + std::to_string(o.round) + " at the smallest radius the grid takes (" +
                       Number(kSmallestRadius) + "); the leave-one-out error next to the maximum is above " + tol + "\n";
                break;
            case PursuitEnd::kAtRim:
                out += "stopped in round " + std::to_string(o.round) +
                       ": the maximum lies on the edge where the grid reaches no further (" +
                       (std::hypot(o.at.re, o.at.im) > kRim - 0.02 ? "|gamma| " + Number(kRim)
                                                                    : std::string("short of the loads that failed")) +
                       "); the optimum may lie beyond\n";
                break;
            case PursuitEnd::kRoundLimit:
                out += "stopped at the round limit in round " + std::to_string(o.round) +
                       (o.onEdge ? ", with the maximum still on the edge of the simulated region\n"
                                 : ", with the leave-one-out error next to the maximum above " + tol + "\n");
                break;
        }
        out += "  optimum " + WithItsUnit(o.value, o.displayUnit, "%.4f") + " at " +
               DescribeGamma(o.at.re, o.at.im) + ", uncertainty " + WithItsUnit(o.uncertainty, o.unit, "%.3g") + "\n";
    }
    if (!report.tradeOff.empty()) {
        const PursuedOptimum &a = report.optima[0], &b = report.optima[1];
        out += "trade-off between " + a.measurement + " and " + b.measurement + " (round " +
               std::to_string(report.tradeOffRound) + "), from one optimum to the other:\n";
        // The ends and three points between them.
        const size_t n = report.tradeOff.size();
        std::vector<size_t> shown;
        for (size_t k = 0; k < 5; ++k) {
            const size_t i = n == 1 ? 0 : k * (n - 1) / 4;
            if (shown.empty() || shown.back() != i) shown.push_back(i);
        }
        for (size_t i : shown) {
            const TradeOffPoint& p = report.tradeOff[i];
            out += "  " + DescribeGamma(p.at.re, p.at.im) + ": " + a.measurement + " " +
                   WithItsUnit(p.first, a.displayUnit, "%.3f") + ", " + b.measurement + " " +
                   WithItsUnit(p.second, b.displayUnit, "%.3f") + "\n";
        }
    }
    out += std::to_string(report.grids.size()) + " rounds" +
           (report.failedRounds ? " (" + std::to_string(report.failedRounds) + " failed, run again on half the radius)"
                                : "") +
           ", " + std::to_string(report.analyses) + " analyses\n";
    return out;
}

}  // namespace vexasim
