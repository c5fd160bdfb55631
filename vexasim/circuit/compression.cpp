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
// A drive aimed at a level goes past where the slope puts it, by this share of the
// way (and at least kMinOvershootDb), so that the level falls between it and the
// drive it was aimed from and the bracket closes at once.
constexpr double kOvershoot = 0.25;
constexpr double kMinOvershootDb = 0.03;
// A bracket this wide is taken as narrow enough (a little inside kLevelBracketDb).
constexpr double kCloseDb = 0.9 * kLevelBracketDb;
// No drive is aimed nearer than this to one already simulated.
constexpr double kMinSpacingDb = 0.02;
// Two drives closer than this give the slope of the compression; farther apart,
// the slope that the nearby loads found at the level says more.
constexpr double kLocalDb = 1.0;
// A slope below this (dB per dB) says nothing of where a level lies.
constexpr double kFlatSlope = 1e-3;
// How often a drive without a steady state is tried again nearer the drive below.
constexpr int kRetries = 2;

double Slope(const Drive& a, const Drive& b) { return (b.compression - a.compression) / (b.pavsDbm - a.pavsDbm); }

// The guide's plane passes through this many of the nearest loads.
constexpr size_t kGuideLoads = 6;

std::string Identity(const vexasim::CircuitData& c, const Params& params) {
    std::string id = c.netlist + "|" + c.output + "|" + c.input;
    char buf[160];
    for (const auto& p : params) {
        std::snprintf(buf, sizeof buf, "=%.17g;", p.second);
        id += p.first + buf;
    }
    const vexasim::CircuitData::DriveUp& d = c.driveUp;
    std::snprintf(buf, sizeof buf, "|%.17g/%.17g/%.17g/%.17g/%d", c.frequency, d.start, d.step, d.cap, d.powerGain);
    return id + buf;
}

void Coordinates(const Loads& loads, double x[4]) {
    x[0] = loads.gamma[0].real();
    x[1] = loads.gamma[0].imag();
    x[2] = loads.source[0].real();
    x[3] = loads.source[0].imag();
}

}  // namespace

void DriveUpGuide::Add(const vexasim::CircuitData& c, const Params& params, const Loads& loads,
                       const Compression& found) {
    const std::string id = Identity(c, params);
    if (id != identity_) {
        identity_ = id;
        seen_.clear();
    }
    for (const CompressionPoint& p : found.points) {
        Seen s;
        Coordinates(loads, s.x);
        s.level = p.level;
        s.pavsDbm = p.pavsDbw + vexasim::kDbmOverDbw;
        s.slope = p.slope;
        seen_.push_back(s);
    }
}

bool DriveUpGuide::Predict(const vexasim::CircuitData& c, const Params& params, const Loads& loads, double level,
                           double& pavsDbm, double& slope) const {
    if (seen_.empty() || Identity(c, params) != identity_) return false;
    double x[4];
    Coordinates(loads, x);
    std::vector<std::pair<double, const Seen*>> nearest;
    for (const Seen& s : seen_) {
        if (std::fabs(s.level - level) > 1e-9) continue;
        double d2 = 0.0;
        for (int k = 0; k < 4; ++k) d2 += (s.x[k] - x[k]) * (s.x[k] - x[k]);
        nearest.emplace_back(d2, &s);
    }
    if (nearest.empty()) return false;
    const size_t n = std::min(nearest.size(), kGuideLoads);
    std::partial_sort(nearest.begin(), nearest.begin() + static_cast<std::ptrdiff_t>(n), nearest.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
    nearest.resize(n);
    slope = nearest.front().second->slope;
    // The plane P = a + b . (x' - x) through them by weighted least squares, the
    // nearest weighing most; a small ridge on b leaves the directions the loads do
    // not span flat (a sweep of one tuner spans two of the four).
    double m[5][6] = {};
    double lowest = HUGE_VAL, highest = -HUGE_VAL;
    for (const auto& [d2, s] : nearest) {
        const double w = 1.0 / (d2 + 1e-4);
        const double u[5] = {1.0, s->x[0] - x[0], s->x[1] - x[1], s->x[2] - x[2], s->x[3] - x[3]};
        for (int i = 0; i < 5; ++i) {
            for (int j = 0; j < 5; ++j) m[i][j] += w * u[i] * u[j];
            m[i][5] += w * u[i] * s->pavsDbm;
        }
        lowest = std::min(lowest, s->pavsDbm);
        highest = std::max(highest, s->pavsDbm);
    }
    for (int i = 1; i < 5; ++i) m[i][i] += 1e-4 * m[0][0];
    for (int col = 0; col < 5; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 5; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        for (int j = 0; j < 6; ++j) std::swap(m[col][j], m[pivot][j]);
        for (int r = 0; r < 5; ++r) {
            if (r == col) continue;
            const double f = m[r][col] / m[col][col];
            for (int j = col; j < 6; ++j) m[r][j] -= f * m[col][j];
        }
    }
    // The plane at this load, no farther outside the loads' own range than it is wide.
    const double range = highest - lowest;
    pavsDbm = std::min(std::max(m[0][5] / m[0][0], lowest - range), highest + range);
    return std::isfinite(pavsDbm);
}

namespace {

// One drive-up in progress: the drives simulated so far, ascending in available
// power, and what the result has gathered of them.
class DriveUpRun {
public:
    DriveUpRun(const vexasim::CircuitData& c, const Params& params, const Loads& loads, Compression& result,
               DriveUpGuide* guide)
        : c_(c), d_(c.driveUp), params_(params), loads_(loads), result_(result), guide_(guide) {}

    // The start drive, which gives the small-signal gain.
    bool Start() {
        if (!DriveAt(d_.start)) {
            result_.error = failure_;
            return false;
        }
        smallSignal_ = GainOf(c_, drives_.front().out);
        result_.smallSignalDb = smallSignal_;
        return true;
    }

    // Drives until the level is recorded or the search for it ends (kEnded;
    // Recorded tells which), or until the drive reaches its cap below the level.
    enum class Found { kEnded, kCapReached };
    Found FindLevel(double level);

    // After FindLevel: whether the level was recorded; if not, why not.
    bool Recorded(double level) {
        if (result_.points.empty() || result_.points.back().level != level) {
            result_.error = failure_;
            return false;
        }
        return true;
    }

private:
    // What the nearby loads say of a level: where it lies and the slope there.
    struct Aim {
        double level = 0.0;
        bool hint = false;
        double hintDbm = 0.0, hintSlope = 0.0;
        bool hinted = false;  // a drive was aimed at the hint
    };

    bool Simulate(double pavsDbm);
    bool DriveAt(double pavsDbm);
    void Record(const Drive& low, const Drive& high, double level, double slope);
    double SlopeAt(size_t k, const Aim& aim) const;
    double Along(size_t k, const Aim& aim) const;
    bool Narrow(size_t high, const Aim& aim);
    bool Climb(Aim& aim);
    void CapReached(double level);

    const vexasim::CircuitData& c_;
    const vexasim::CircuitData::DriveUp& d_;
    const Params& params_;
    const Loads& loads_;
    Compression& result_;
    DriveUpGuide* guide_;
    std::vector<Drive> drives_;  // ascending in available power
    double smallSignal_ = 0.0;
    double ceiling_ = HUGE_VAL;  // the lowest drive without a steady state
    std::string failure_;        // what it said
};

bool DriveUpRun::Simulate(double pavsDbm) {
    Loads at = loads_;
    at.pavsDbm = pavsDbm;
    Drive drive;
    drive.pavsDbm = pavsDbm;
    std::string error;
    if (!SimulateCircuit(c_, params_, at, drive.out, error)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "at an available power of %.2f dBm: ", pavsDbm);
        failure_ = buf + error;
        return false;
    }
    ++result_.analyses;
    result_.periods += drive.out.periods;
    result_.seconds += drive.out.seconds;
    drive.compression = drives_.empty() ? 0.0 : smallSignal_ - GainOf(c_, drive.out);
    result_.reached = std::max(result_.reached, drive.compression);
    result_.expansion = std::max(result_.expansion, -drive.compression);
    const auto at_ = std::upper_bound(drives_.begin(), drives_.end(), pavsDbm,
                                      [](double p, const Drive& x) { return p < x.pavsDbm; });
    drives_.insert(at_, std::move(drive));
    return true;
}

// Deep into compression a circuit may not settle within the termination's
// tolerance: such a drive is tried again halfway to the drive below it, and no
// drive is aimed at or above it again.
bool DriveUpRun::DriveAt(double pavsDbm) {
    for (int attempt = 0;; ++attempt) {
        if (Simulate(pavsDbm)) return true;
        ceiling_ = std::min(ceiling_, pavsDbm);
        double below = d_.start;
        for (const Drive& x : drives_)
            if (x.pavsDbm < pavsDbm) below = x.pavsDbm;
        if (attempt == kRetries || pavsDbm - below < 2.0 * kMinSpacingDb) return false;
        pavsDbm = 0.5 * (below + pavsDbm);
    }
}

void DriveUpRun::Record(const Drive& low, const Drive& high, double level, double slope) {
    double f = 0.0;
    if (high.pavsDbm > low.pavsDbm) f = (level - low.compression) / (high.compression - low.compression);
    auto line = [f](double a, double b) { return a + f * (b - a); };
    const Outputs &a = low.out, &b = high.out;
    CompressionPoint p;
    p.level = level;
    p.poutDbw = line(a.poutDbw, b.poutDbw);
    p.pinDbw = line(Db(a.pinW), Db(b.pinW));
    p.pavsDbw = line(low.pavsDbm, high.pavsDbm) - vexasim::kDbmOverDbw;
    p.paePct = line(a.paePct, b.paePct);
    p.drainEffPct = line(a.drainEffPct, b.drainEffPct);
    p.gainDb = line(GainOf(c_, a), GainOf(c_, b));
    p.idcA = line(a.idcA, b.idcA);
    p.slope = slope;
    result_.points.push_back(p);
}

// The slope of the compression at a drive: from the drive next to it when
// that is near, else the one the nearby loads found at this level.
double DriveUpRun::SlopeAt(size_t k, const Aim& aim) const {
    if (drives_.size() < 2) return aim.hintSlope;
    size_t j = k + 1;
    if (k + 1 == drives_.size() ||
        (k > 0 && drives_[k].pavsDbm - drives_[k - 1].pavsDbm <= drives_[k + 1].pavsDbm - drives_[k].pavsDbm))
        j = k - 1;
    if (std::fabs(drives_[j].pavsDbm - drives_[k].pavsDbm) > kLocalDb && aim.hintSlope > kFlatSlope)
        return aim.hintSlope;
    return Slope(drives_[std::min(j, k)], drives_[std::max(j, k)]);
}

// From drive k along its slope to the level, and a little past it (0: the
// slope says nothing).
double DriveUpRun::Along(size_t k, const Aim& aim) const {
    const double slope = SlopeAt(k, aim);
    if (!(slope > kFlatSlope)) return 0.0;
    const double way = (aim.level - drives_[k].compression) / slope;
    double past = std::max(kMinOvershootDb, kOvershoot * std::fabs(way));
    // Near enough to close the bracket with this drive: aim at its far end.
    if (std::fabs(way) + past > kCloseDb && std::fabs(way) < kCloseDb - kMinSpacingDb)
        past = kCloseDb - std::fabs(way);
    return way + std::copysign(past, way);
}

// Drives high - 1 and high bracket the level: records it when the bracket is
// narrow, else drives once inside it. False when the search for this level ends.
bool DriveUpRun::Narrow(size_t high, const Aim& aim) {
    const double level = aim.level;
    const Drive &lo = drives_[high - 1], &hi = drives_[high];
    const double width = hi.pavsDbm - lo.pavsDbm;
    if (width <= kLevelBracketDb) {
        Record(lo, hi, level, Slope(lo, hi));
        return false;
    }
    // Along the slope from the end nearer the level, but never from the
    // start, whose slope says nothing of the level.
    const size_t nearest = high > 1 && level - lo.compression <= hi.compression - level ? high - 1 : high;
    double aimDbm = drives_[nearest].pavsDbm + Along(nearest, aim);
    if (!(aimDbm >= lo.pavsDbm + kMinSpacingDb && aimDbm <= hi.pavsDbm - kMinSpacingDb)) {
        // False position, kept off the bracket's ends.
        const double f = (level - lo.compression) / (hi.compression - lo.compression);
        aimDbm = lo.pavsDbm + std::min(std::max(f, 0.2), 0.8) * width;
    }
    return DriveAt(aimDbm);
}

// Every drive lies below the level: drives once above the highest, first where
// the nearby loads found the level, then along the slope, never more than a step
// at a time. False when the search for this level ends.
bool DriveUpRun::Climb(Aim& aim) {
    const Drive& top = drives_.back();
    double aimDbm = top.pavsDbm + d_.step;
    if (aim.hint && !aim.hinted && aim.hintDbm > top.pavsDbm + kMinSpacingDb) {
        aimDbm = aim.hintDbm;
        aim.hinted = true;
    } else if (const double way = Along(drives_.size() - 1, aim); way > 0.0) {
        aimDbm = top.pavsDbm + std::min(std::max(way, kMinSpacingDb), d_.step);
    }
    aimDbm = std::min(aimDbm, d_.cap);
    if (aimDbm >= ceiling_) {
        if (ceiling_ - top.pavsDbm < 2.0 * kMinSpacingDb) return false;
        aimDbm = 0.5 * (top.pavsDbm + ceiling_);
    }
    return DriveAt(aimDbm);
}

void DriveUpRun::CapReached(double level) {
    result_.capReached = true;
    char buf[240];
    std::snprintf(buf, sizeof buf,
                  "the drive reached its cap of %g dBm with the gain compressed by %.2f dB, short of the "
                  "%g dB asked (raise the cap or lower the level)",
                  d_.cap, result_.reached, level);
    result_.error = buf;
}

DriveUpRun::Found DriveUpRun::FindLevel(double level) {
    Aim aim;
    aim.level = level;
    aim.hint = guide_ && guide_->Predict(c_, params_, loads_, level, aim.hintDbm, aim.hintSlope);
    for (;;) {
        // The first drive that meets the level, or the first that passes it and
        // the one below: the bracket.
        size_t high = drives_.size();
        bool hit = false;
        for (size_t k = 0; k < drives_.size() && high == drives_.size(); ++k) {
            hit = std::fabs(drives_[k].compression - level) <= kLevelToleranceDb;
            if (hit || drives_[k].compression > level) high = k;
        }
        if (hit) {
            Record(drives_[high], drives_[high], level, SlopeAt(high, aim));
            return Found::kEnded;
        }
        if (high < drives_.size()) {
            if (!Narrow(high, aim)) return Found::kEnded;
            continue;
        }
        if (drives_.back().pavsDbm >= d_.cap) {
            CapReached(level);
            return Found::kCapReached;
        }
        if (!Climb(aim)) return Found::kEnded;
    }
}

}  // namespace

bool DriveUp(const vexasim::CircuitData& c, const Params& params, const Loads& loads, Compression& result,
             DriveUpGuide* guide) {
    result = Compression();
    std::vector<double> levels = c.driveUp.levels;
    std::sort(levels.begin(), levels.end());
    DriveUpRun run(c, params, loads, result, guide);
    if (!run.Start()) return false;
    for (const double level : levels) {
        if (run.FindLevel(level) == DriveUpRun::Found::kCapReached) {
            if (guide) guide->Add(c, params, loads, result);
            return true;
        }
        if (!run.Recorded(level)) return false;
    }
    if (guide) guide->Add(c, params, loads, result);
    return true;
}

}  // namespace circuit
