#include "vexasim/app/run_options.h"

#include <cstdio>
#include <cstdlib>

namespace vexasim {

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o" || a == "--out") {
            if (!value(o.outDir)) return false;
        } else if (a == "--addin") {
            if (!value(o.addin)) return false;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--analysis-delay") {
            if (!value(v)) return false;
            char* end = nullptr;
            long ms = std::strtol(v.c_str(), &end, 10);
            if (*end || ms < 0 || ms > 60000) {
                error = "--analysis-delay takes milliseconds, 0 to 60000";
                return false;
            }
            o.analysisDelayMs = static_cast<int>(ms);
        } else if (a == "--interactive") {
            o.interactive = true;
        } else if (a == "--earlier-contours") {
            o.earlierContours = true;
        } else if (a == "--simulate") {
            o.dialog.simulate = true;
        } else if (a == "--remove-all") {
            o.dialog.removeAll = true;
        } else if (a == "--schematic") {
            if (!value(o.dialog.schematic)) return false;
        } else if (a == "--tuner") {
            if (!value(o.dialog.tuner)) return false;
        } else if (a == "--harmonic") {
            if (!value(v)) return false;
            if (v != "1" && v != "2" && v != "3") {
                error = "--harmonic takes 1, 2 or 3";
                return false;
            }
            o.dialog.harmonic = v[0] - '0';
        } else if (a == "--grid") {
            if (!value(v)) return false;
            const char* names[] = {"coarse", "medium", "fine", "extra-fine"};
            o.dialog.grid = -1;
            for (int k = 0; k < 4; ++k)
                if (v == names[k]) o.dialog.grid = k;
            if (o.dialog.grid < 0) {
                error = "--grid takes coarse, medium, fine or extra-fine";
                return false;
            }
        } else if (a == "--center") {
            if (!value(v)) return false;
            size_t at = v.find('@');
            if (at == std::string::npos) {
                error = "--center takes MAG@ANGLE, such as 0.3@45";
                return false;
            }
            o.dialog.centerMag = v.substr(0, at);
            o.dialog.centerAng = v.substr(at + 1);
        } else if (a == "--radius") {
            if (!value(o.dialog.radius)) return false;
        } else if (a == "--measured-data") {
            if (!value(o.dialog.measuredData)) return false;
        } else if (a == "--tab-data") {
            if (!value(o.dialog.tabData)) return false;
        } else if (a == "--measure") {
            if (!value(v)) return false;
            size_t eq = v.rfind('=');
            if (eq == std::string::npos || eq == 0 || v.find(':') == std::string::npos || v.find(':') > eq) {
                error = "--measure takes SOURCE:NAME=DATAFILE";
                return false;
            }
            o.dialog.measures.push_back({v.substr(0, eq), v.substr(eq + 1)});
        } else if (a == "--inject") {
            if (!value(v)) return false;
            o.injections.emplace_back();
            if (!ParseInjection(v, o.injections.back(), error)) return false;
        } else if (a == "--script") {
            if (!value(o.dialog.scriptFile)) return false;
        } else if (a == "--pursue" || a == "--tolerance" || a == "--rounds") {
            if (!value(v) || !ParsePursuitOption(a, v, o.pursuit, error)) return false;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (o.project.empty()) {
            o.project = a;
        } else {
            error = "more than one project given";
            return false;
        }
    }
    if (o.project.empty()) {
        error = "no project given";
        return false;
    }
    if ((o.dialog.centerMag.empty()) != (o.dialog.radius.empty())) {
        error = "--center and --radius go together";
        return false;
    }
    if (!o.pursuit.measurements.empty() &&
        (o.interactive || !o.dialog.measuredData.empty() || !o.dialog.tabData.empty())) {
        error = "--pursue moves the grid by itself: it takes neither --interactive nor points of a measurement";
        return false;
    }
    return true;
}

}  // namespace vexasim
