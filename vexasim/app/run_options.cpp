#include "vexasim/app/run_options.h"

#include <cstdio>
#include <cstdlib>

namespace vexasim {

namespace {

// The arguments, taken one at a time; an option's value is the argument after it.
struct Args {
    const std::vector<std::string>& list;
    size_t i;
    std::string& error;

    bool Value(std::string& out) {
        if (i + 1 >= list.size()) {
            error = list[i] + " needs a value";
            return false;
        }
        out = list[++i];
        return true;
    }
};

enum class Taken { kNo, kYes, kFailed };

Taken Result(bool ok) { return ok ? Taken::kYes : Taken::kFailed; }

Taken Fails(std::string& error, const std::string& message) {
    error = message;
    return Taken::kFailed;
}

// What a user of the dialog would choose.
Taken DialogOption(Args& args, const std::string& a, DialogOptions& d) {
    std::string v;
    if (a == "--simulate") {
        d.simulate = true;
    } else if (a == "--remove-all") {
        d.removeAll = true;
    } else if (a == "--schematic" || a == "--tuner" || a == "--radius" || a == "--measured-data" ||
               a == "--tab-data" || a == "--script") {
        std::string& out = a == "--schematic" ? d.schematic : a == "--tuner" ? d.tuner : a == "--radius" ? d.radius
                           : a == "--measured-data" ? d.measuredData : a == "--tab-data" ? d.tabData : d.scriptFile;
        return Result(args.Value(out));
    } else if (a == "--harmonic") {
        if (!args.Value(v)) return Taken::kFailed;
        if (v != "1" && v != "2" && v != "3") return Fails(args.error, "--harmonic takes 1, 2 or 3");
        d.harmonic = v[0] - '0';
    } else if (a == "--grid") {
        if (!args.Value(v)) return Taken::kFailed;
        const char* names[] = {"coarse", "medium", "fine", "extra-fine"};
        d.grid = -1;
        for (int k = 0; k < 4; ++k)
            if (v == names[k]) d.grid = k;
        if (d.grid < 0) return Fails(args.error, "--grid takes coarse, medium, fine or extra-fine");
    } else if (a == "--center") {
        if (!args.Value(v)) return Taken::kFailed;
        size_t at = v.find('@');
        if (at == std::string::npos) return Fails(args.error, "--center takes MAG@ANGLE, such as 0.3@45");
        d.centerMag = v.substr(0, at);
        d.centerAng = v.substr(at + 1);
    } else if (a == "--measure") {
        if (!args.Value(v)) return Taken::kFailed;
        size_t eq = v.rfind('=');
        if (eq == std::string::npos || eq == 0 || v.find(':') == std::string::npos || v.find(':') > eq)
            return Fails(args.error, "--measure takes SOURCE:NAME=DATAFILE");
        d.measures.push_back({v.substr(0, eq), v.substr(eq + 1)});
    } else {
        return Taken::kNo;
    }
    return Taken::kYes;
}

// How the program runs: its outputs, the add-in, faults, the pursuit.
Taken ProgramOption(Args& args, const std::string& a, RunOptions& o) {
    std::string v;
    if (a == "-o" || a == "--out") return Result(args.Value(o.outDir));
    if (a == "--addin") return Result(args.Value(o.addin));
    if (a == "--quiet" || a == "-q") {
        o.quiet = true;
    } else if (a == "--analysis-delay") {
        if (!args.Value(v)) return Taken::kFailed;
        char* end = nullptr;
        long ms = std::strtol(v.c_str(), &end, 10);
        if (*end || ms < 0 || ms > 60000) return Fails(args.error, "--analysis-delay takes milliseconds, 0 to 60000");
        o.analysisDelayMs = static_cast<int>(ms);
    } else if (a == "--interactive") {
        o.interactive = true;
    } else if (a == "--earlier-contours") {
        o.earlierContours = true;
    } else if (a == "--inject") {
        if (!args.Value(v)) return Taken::kFailed;
        o.injections.emplace_back();
        return Result(ParseInjection(v, o.injections.back(), args.error));
    } else if (a == "--pursue" || a == "--tolerance" || a == "--rounds") {
        return Result(args.Value(v) && ParsePursuitOption(a, v, o.pursuit, args.error));
    } else {
        return Taken::kNo;
    }
    return Taken::kYes;
}

}  // namespace

bool ParseRunOptions(const std::vector<std::string>& list, RunOptions& o, std::string& error) {
    Args args{list, 0, error};
    for (; args.i < list.size(); ++args.i) {
        const std::string& a = list[args.i];
        Taken taken = ProgramOption(args, a, o);
        if (taken == Taken::kNo) taken = DialogOption(args, a, o.dialog);
        if (taken == Taken::kFailed) return false;
        if (taken == Taken::kYes) continue;
        if (!a.empty() && a[0] == '-') {
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
