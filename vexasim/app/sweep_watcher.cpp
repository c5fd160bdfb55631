#include "vexasim/app/sweep_watcher.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <set>

#include "host/angles.h"
#include "vexasim/system/system.h"

namespace vexasim {

SweepWatcher::SweepWatcher(Host& host, bool quiet) : host_(host), quiet_(quiet), tty_(IsTerminal(2)) {
    for (const auto& g : host.project().graphs)
        for (const auto& m : g.measurements)
            if (m.resultType == 1 && IsSchematic(m.source)) {
                table.columns.push_back(m.DisplayName());
                units_.push_back(m.unitType);
            }
    // Measurements shown on several graphs appear once.
    std::set<std::string> seen;
    for (size_t i = 0; i < table.columns.size();) {
        if (!seen.insert(table.columns[i]).second) {
            table.columns.erase(table.columns.begin() + static_cast<long>(i));
            units_.erase(units_.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

void SweepWatcher::OnAnalyze(long first, long second) {
    if (first != 0 || second != -1 || host_.Analyses().empty()) return;
    const AnalysisRecord& analysis = host_.Analyses().back();
    if (analysis.tuners.empty()) return;
    const TunerSetting& tuner = analysis.tuners.front();
    Sample s;
    s.magnitude = tuner.magnitude;
    s.angleDeg = RadiansToDegrees(tuner.angle);
    for (size_t c = 0; c < table.columns.size(); ++c) s.values.push_back(Value(c));
    table.rows.push_back(std::move(s));
    Progress(static_cast<long>(table.rows.size()), PlannedSettings(host_.project(), tuner));
}

void SweepWatcher::Finish() {
    if (!quiet_ && tty_ && printed_) std::fputs("\n", stderr);
}

bool SweepWatcher::IsSchematic(const std::string& name) const {
    for (const auto& s : host_.project().schematics)
        if (s.name == name) return true;
    return false;
}

double SweepWatcher::Value(size_t column) const {
    for (const auto& g : host_.project().graphs)
        for (const auto& m : g.measurements)
            if (m.resultType == 1 && m.DisplayName() == table.columns[column] && !m.points.empty())
                return DisplayValue(host_.project(), units_[column], m.points[0].first);
    return NAN;
}

void SweepWatcher::Progress(long k, long total) {
    if (quiet_) return;
    auto now = std::chrono::steady_clock::now();
    if (k == 1) start_ = now;
    double elapsed = std::chrono::duration<double>(now - start_).count();
    double each = k > 1 ? elapsed / (k - 1) : 0.0;
    double left = total >= k ? (total - k) * each : 0.0;
    if (tty_) {
        std::fprintf(stderr, "\ranalysis %ld of %ld  %.3f s each  %.1f s left   ", k, total, each, left);
        printed_ = true;
    } else if (total > 0) {
        int tenth = static_cast<int>(10 * k / total);
        if (tenth > lastTenth_) {
            lastTenth_ = tenth;
            std::fprintf(stderr, "analysis %ld of %ld (%d%%), %.3f s each, %.1f s left\n", k, total, tenth * 10, each,
                         left);
        }
    }
}

long PlannedSettings(const ProjectData& project, const TunerSetting& setting) {
    const std::complex<double> gamma = std::polar(setting.magnitude, setting.angle);
    auto isSchematic = [&](const std::string& name) {
        for (const auto& s : project.schematics)
            if (s.name == name) return true;
        return false;
    };
    long most = 0;
    for (const auto& g : project.graphs)
        for (const auto& m : g.measurements) {
            if (m.points.size() < 2 || isSchematic(m.source)) continue;
            for (const auto& p : m.points)
                if (std::abs(std::complex<double>(p.first, p.second) - gamma) < 1e-9) {
                    most = std::max(most, static_cast<long>(m.points.size()));
                    break;
                }
        }
    return most;
}

}  // namespace vexasim
