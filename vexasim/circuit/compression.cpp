#include "vexasim/circuit/compression.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace circuit {
namespace {

// One simulated drive: the available power and what it gave.
struct Drive {
    double pavsDbm = 0.0;
    double compression = 0.0;  // small-signal gain minus this drive's gain
    Outputs out;
};

double Db(double watts) { return 10.0 * std::log10(std::max(watts, 1e-30)); }

double GainOf(const vexasim::CircuitData& c, const Outputs& o) { return c.driveUp.powerGain ? o.gainDb : o.gtDb; }

// Within this much of a level a drive is taken as it.
constexpr double kLevelToleranceDb = 0.002;

}  // namespace

bool DriveUp(const vexasim::CircuitData& c, const Params& params, const Loads& loads, Compression& result) {
    result = Compression();
    const vexasim::CircuitData::DriveUp& d = c.driveUp;
    std::vector<double> levels = d.levels;
    std::sort(levels.begin(), levels.end());
    double smallSignal = 0.0;
    auto simulate = [&](double pavsDbm, Drive& drive) {
        Loads at = loads;
        at.pavsDbm = pavsDbm;
        drive.pavsDbm = pavsDbm;
        std::string error;
        if (!SimulateCircuit(c, params, at, drive.out, error)) {
            char buf[80];
            std::snprintf(buf, sizeof buf, "at an available power of %.2f dBm: ", pavsDbm);
            result.error = buf + error;
            return false;
        }
        ++result.analyses;
        result.periods += drive.out.periods;
        result.seconds += drive.out.seconds;
        drive.compression = smallSignal - GainOf(c, drive.out);
        result.reached = std::max(result.reached, drive.compression);
        result.expansion = std::max(result.expansion, -drive.compression);
        return true;
    };
    // The level between two drives that bracket it: the bracket shrinks (false
    // position, kept off its ends) until it is narrow or a drive meets the level,
    // then the measurements follow the straight line in compression.
    auto find = [&](Drive low, Drive high, double level) {
        while (high.pavsDbm - low.pavsDbm > kLevelBracketDb &&
               std::fabs(high.compression - level) > kLevelToleranceDb &&
               std::fabs(low.compression - level) > kLevelToleranceDb) {
            const double width = high.pavsDbm - low.pavsDbm;
            double f = (level - low.compression) / (high.compression - low.compression);
            f = std::min(std::max(f, 0.2), 0.8);
            Drive mid;
            if (!simulate(low.pavsDbm + f * width, mid)) return false;
            (mid.compression < level ? low : high) = mid;
        }
        double f = (level - low.compression) / (high.compression - low.compression);
        if (std::fabs(high.compression - level) <= kLevelToleranceDb) f = 1.0;
        else if (std::fabs(low.compression - level) <= kLevelToleranceDb) f = 0.0;
        auto line = [f](double a, double b) { return a + f * (b - a); };
        const Outputs &a = low.out, &b = high.out;
        CompressionPoint p;
        p.level = level;
        p.poutDbw = line(a.poutDbw, b.poutDbw);
        p.pinDbw = line(Db(a.pinW), Db(b.pinW));
        p.pavsDbw = line(low.pavsDbm, high.pavsDbm) - 30.0;
        p.paePct = line(a.paePct, b.paePct);
        p.drainEffPct = line(a.drainEffPct, b.drainEffPct);
        p.gainDb = line(GainOf(c, a), GainOf(c, b));
        p.idcA = line(a.idcA, b.idcA);
        result.points.push_back(p);
        return true;
    };

    Drive last;
    if (!simulate(d.start, last)) return false;
    smallSignal = GainOf(c, last.out);
    result.smallSignalDb = smallSignal;
    last.compression = 0.0;
    result.reached = result.expansion = 0.0;
    size_t next = 0;
    while (next < levels.size()) {
        if (last.pavsDbm >= d.cap) {
            result.capReached = true;
            char buf[240];
            std::snprintf(buf, sizeof buf,
                          "the drive reached its cap of %g dBm with the gain compressed by %.2f dB, short of the "
                          "%g dB asked (raise the cap or lower the level)",
                          d.cap, result.reached, levels[next]);
            result.error = buf;
            return true;
        }
        Drive now;
        if (!simulate(std::min(last.pavsDbm + d.step, d.cap), now)) return false;
        while (next < levels.size() && now.compression >= levels[next]) {
            if (!find(last, now, levels[next])) return false;
            ++next;
        }
        last = now;
    }
    return true;
}

}  // namespace circuit
