#include "vexasim/app/pursuit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "host/angles.h"
#include "vexasim/app/round_fit.h"
#include "vexasim/report/run_results.h"

namespace vexasim {
namespace {

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
