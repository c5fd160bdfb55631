#include "vexasim/project_file/circuit_element.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/circuit/netlist.h"
#include "vexasim/circuit/netlist_safety.h"
#include "vexasim/model/tuner.h"

namespace vexasim {
namespace {

using json = nlohmann::ordered_json;

bool SafeRelative(const std::string& p) {
    if (p.empty() || p[0] == '/' || p[0] == '\\' || p.find(':') != std::string::npos) return false;
    std::string part;
    std::istringstream s(p);
    while (std::getline(s, part, '/'))
        if (part == ".." || part.find('\\') != std::string::npos) return false;
    return true;
}

bool NetlistName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
    return true;
}

}  // namespace

void ParseCircuit(const json& j, const std::string& place, const std::string& baseDir, const ElementData& element,
                  CircuitData& out, std::vector<std::string>& problems) {
    auto error = [&](const std::string& key, const std::string& problem) {
        problems.push_back(place + (key.empty() ? "" : "." + key) + ": " + problem);
    };
    if (!j.is_object()) {
        error("", "expected an object");
        return;
    }
    static const char* const kKeys[] = {"netlist",    "netlistFile", "output",         "frequency",
                                        "drive",      "input",       "supply",         "timeLimit",
                                        "maxPeriods", "stepsPerPeriod", "loadTuner",   "sourceTuner",
                                        "driveUp"};
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (const char* k : kKeys) known = known || it.key() == k;
        if (!known) error(it.key(), "unknown key");
    }
    const bool inline_ = j.contains("netlist"), file = j.contains("netlistFile");
    if (inline_ == file) error("", "give the netlist either inline (netlist) or as a file (netlistFile)");
    if (inline_) {
        const json& n = j["netlist"];
        if (n.is_string()) {
            out.netlist = n.get<std::string>();
        } else if (n.is_array()) {
            for (const auto& line : n) {
                if (!line.is_string()) {
                    error("netlist", "expected a string or an array of strings");
                    break;
                }
                out.netlist += line.get<std::string>() + "\n";
            }
        } else {
            error("netlist", "expected a string or an array of strings");
        }
    } else if (file) {
        const json& f = j["netlistFile"];
        const std::string path = f.is_string() ? f.get<std::string>() : std::string();
        if (!SafeRelative(path)) {
            error("netlistFile", "must be a relative path inside the project's folder");
        } else {
            std::ifstream in(baseDir.empty() ? path : baseDir + "/" + path, std::ios::binary);
            std::ostringstream s;
            s << in.rdbuf();
            if (!in) error("netlistFile", "cannot read \"" + path + "\"");
            out.netlist = s.str();
        }
    }
    auto text = [&](const char* key, std::string& value) {
        auto it = j.find(key);
        if (it == j.end()) return error(key, "missing");
        if (!it->is_string() || it->get<std::string>().empty()) return error(key, "expected a node or source name");
        value = it->get<std::string>();
        if (value.find_first_of(" \t\r\n(){}=,") != std::string::npos) error(key, "expected a single name");
    };
    text("output", out.output);
    // The circuit is driven either by its own source (drive) or at an input port.
    const bool input = j.contains("input");
    if (input == j.contains("drive")) error("", "give either a drive source (drive) or an input node (input)");
    if (input) text("input", out.input);
    else if (j.contains("drive")) text("drive", out.drive);
    for (const char* key : {"loadTuner", "sourceTuner"}) {
        if (!j.contains(key)) continue;
        std::string& name = std::string(key) == "loadTuner" ? out.loadTuner : out.sourceTuner;
        text(key, name);
        if (!name.empty() && !vexasim::IsTunerName(name)) error(key, "expected the name of a tuner element (LTUNER... or HBTUNER...)");
    }
    if (!out.sourceTuner.empty() && !input) error("sourceTuner", "a source tuner needs an input port (input)");
    if (!out.sourceTuner.empty() && out.sourceTuner == out.loadTuner)
        error("sourceTuner", "the source and the load need tuners of their own");
    // The netlist's own supply: one source name or several.
    if (auto it = j.find("supply"); it != j.end()) {
        const json list = it->is_array() ? *it : json::array({*it});
        bool names = !list.empty();
        for (const auto& n : list) {
            const std::string name = n.is_string() ? n.get<std::string>() : std::string();
            if (name.empty() || name.find_first_of(" \t\r\n(){}=,") != std::string::npos) names = false;
            else out.supply.push_back(name);
        }
        if (!names) error("supply", "expected a source name or an array of source names");
    }
    auto number = [&](const char* key, double& value, bool required, double low, double high) {
        auto it = j.find(key);
        if (it == j.end()) {
            if (required) error(key, "missing");
            return;
        }
        if (!it->is_number() || !std::isfinite(it->get<double>()) || it->get<double>() <= low ||
            it->get<double>() > high) {
            char buf[120];
            std::snprintf(buf, sizeof buf, "expected a number above %g and up to %g", low, high);
            error(key, buf);
            return;
        }
        value = it->get<double>();
    };
    number("frequency", out.frequency, true, 0.0, 1e12);
    number("timeLimit", out.timeLimit, false, 0.0, 86400.0);
    double periods = out.maxPeriods, steps = out.stepsPerPeriod;
    number("maxPeriods", periods, false, 3.0, 100000.0);
    number("stepsPerPeriod", steps, false, 20.0, 100000.0);
    if (periods != std::floor(periods)) error("maxPeriods", "expected a whole number");
    if (steps != std::floor(steps)) error("stepsPerPeriod", "expected a whole number");
    out.maxPeriods = static_cast<int>(periods);
    out.stepsPerPeriod = static_cast<int>(steps);

    if (auto it = j.find("driveUp"); it != j.end()) {
        const std::string key = "driveUp";
        if (!input) error(key, "a drive-up needs an input port (input)");
        if (!it->is_object()) {
            error(key, "expected an object with start, step, cap (dBm) and levels (dB)");
        } else {
            CircuitData::DriveUp& d = out.driveUp;
            out.hasDriveUp = true;
            for (auto k = it->begin(); k != it->end(); ++k)
                if (k.key() != "start" && k.key() != "step" && k.key() != "cap" && k.key() != "levels" &&
                    k.key() != "gain")
                    error(key + "." + k.key(), "unknown key");
            auto dbm = [&](const char* name, double& value) {
                auto v = it->find(name);
                if (v == it->end()) return error(key + "." + name, "missing");
                if (!v->is_number() || !std::isfinite(v->get<double>()) || std::fabs(v->get<double>()) > 100.0)
                    return error(key + "." + name, "expected a number of dBm from -100 to 100");
                value = v->get<double>();
            };
            dbm("start", d.start);
            dbm("cap", d.cap);
            if (auto v = it->find("step"); v != it->end()) {
                if (!v->is_number() || !(v->get<double>() >= 0.01) || v->get<double>() > 20.0)
                    error(key + ".step", "expected a number of dB from 0.01 to 20");
                else
                    d.step = v->get<double>();
            }
            if (d.cap <= d.start) error(key + ".cap", "must lie above start");
            auto levels = it->find("levels");
            const json list = levels == it->end() ? json() : levels->is_array() ? *levels : json::array({*levels});
            bool good = !list.empty();
            for (const auto& v : list) {
                if (!v.is_number() || !(v.get<double>() > 0.0) || v.get<double>() > 20.0) good = false;
                else d.levels.push_back(v.get<double>());
            }
            if (!good) error(key + ".levels", "expected a compression level or an array of them, in dB above 0 and up to 20");
            if (auto g = it->find("gain"); g != it->end()) {
                if (*g == "Gp") d.powerGain = true;
                else if (*g != "Gt") error(key + ".gain", "expected \"Gt\" (the default) or \"Gp\"");
            }
        }
    }
    if (input) {
        bool pavs = false;
        for (const auto& p : element.parameters) pavs = pavs || p.name == "Pavs";
        if (!pavs)
            problems.push_back(place.substr(0, place.rfind('.')) +
                               ".parameters.Pavs: missing (the available power in dBm that drives the input port)");
    }
    bool vdd = !out.supply.empty();  // a netlist that feeds itself needs no Vdd from the engine
    const std::string elementPlace = place.substr(0, place.rfind('.'));
    for (const auto& p : element.parameters) {
        vdd = vdd || p.name == "Vdd";
        // Every parameter becomes a ".param NAME=value" line of the deck.
        if (!NetlistName(p.name))
            problems.push_back(elementPlace + ".parameters." + p.name +
                               ": a circuit element's parameter needs a name of letters, digits and _");
    }
    if (!vdd) problems.push_back(elementPlace + ".parameters.Vdd: missing (the supply voltage a circuit element needs)");
    if (!problems.empty() || out.netlist.empty()) return;
    // Included files are read here, beside the project, and every line ngspice
    // will see is checked: only a circuit passes.
    circuit::NetlistSource source;
    source.text = out.netlist;
    source.folder = baseDir;
    source.name = inline_ ? "netlist" : j.at("netlistFile").get<std::string>();
    std::vector<std::string> unsafe;
    if (!circuit::ExpandNetlist(source, out.netlist, unsafe)) {
        for (const std::string& u : unsafe)
            problems.push_back(place + (u.compare(0, 12, "netlist line") == 0
                                            ? "." + u
                                            : std::string(inline_ ? ".netlist: " : ".netlistFile: ") + u));
        return;
    }
    for (const std::string& p : circuit::NetlistProblems(out)) problems.push_back(place + "." + p);
}

json CircuitJson(const CircuitData& c) {
    json lines = json::array();
    for (const std::string& l : circuit::NetlistLines(c.netlist)) lines.push_back(l);
    json j = json::object();
    j["netlist"] = lines;
    j["output"] = c.output;
    j["frequency"] = c.frequency;
    if (!c.input.empty()) j["input"] = c.input;
    else j["drive"] = c.drive;
    if (!c.supply.empty()) j["supply"] = c.supply;
    j["timeLimit"] = c.timeLimit;
    j["maxPeriods"] = c.maxPeriods;
    j["stepsPerPeriod"] = c.stepsPerPeriod;
    if (!c.loadTuner.empty()) j["loadTuner"] = c.loadTuner;
    if (!c.sourceTuner.empty()) j["sourceTuner"] = c.sourceTuner;
    if (c.hasDriveUp) {
        const CircuitData::DriveUp& d = c.driveUp;
        j["driveUp"] = {{"start", d.start}, {"step", d.step}, {"cap", d.cap}, {"levels", d.levels},
                        {"gain", d.powerGain ? "Gp" : "Gt"}};
    }
    return j;
}

bool CheckCircuits(const ProjectData& project, const std::string& where, std::vector<std::string>& errors) {
    bool ok = true;
    for (size_t s = 0; s < project.schematics.size(); ++s) {
        const auto& elements = project.schematics[s].elements;
        for (size_t e = 0; e < elements.size(); ++e) {
            if (!elements[e].hasCircuit) continue;
            std::string error;
            if (!circuit::CheckCircuit(elements[e].circuit, circuit::NetlistParams(elements[e]), error)) {
                errors.push_back(where + ": schematics[" + std::to_string(s) + "].elements[" + std::to_string(e) +
                                 "].circuit.netlist: " + error);
                ok = false;
            }
        }
    }
    return ok;
}

}  // namespace vexasim
