#include "vexasim/app/pursuit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/angles.h"
#include "vexasim/app/round_fit.h"

namespace vexasim {
namespace {

// A grid that moves towards an optimum widens to 0.4 at most: wider, a moved grid
// reaches loads near the chart's edge where a real device may find no steady state,
// and costs as many analyses for a coarser view.
const double kWidestRadius = 0.4;
// Levels of the trade-off line between its two ends.
const int kTradeOffLevels = 24;

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

    // The grid of the round after one that showed this of a measurement; shrunk
    // tells whether a grid of this pursuit has shrunk about its maximum yet.
    RoundGrid NextGrid(const RoundGrid& grid, const Assessment& a, double tolerance, bool& shrunk) const {
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
            const double f = std::isfinite(a.error) && a.error > 0 ? tolerance / a.error : 0.25;
            radius *= std::min(0.5, std::max(0.25, f));
            // Not a round for a few thousandths of radius: a grid about to be
            // the smallest is.
            if (radius < 1.5 * kSmallestRadius) radius = kSmallestRadius;
        }
        // The centre keeps within the loads the grid reaches.
        const double farthest = std::min(reach_, kRim) - kSmallestRadius;
        const double mag = std::hypot(centre.re, centre.im);
        if (mag > farthest) centre = {centre.re * farthest / mag, centre.im * farthest / mag};
        RoundGrid next = GridAt(centre, radius);
        next.radius = Reachable(next, next.radius);
        return next;
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
            const RoundGrid next = NextGrid(grid, a, o.tolerance, shrunk);
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

}  // namespace vexasim
