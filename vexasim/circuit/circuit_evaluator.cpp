#include "vexasim/circuit/circuit_evaluator.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "host/angles.h"
#include "vexasim/device/pa_measurements.h"

namespace circuit {
namespace {


bool IsAngle(const std::string& name) {
    return name.compare(0, 3, "Ang") == 0 || (name.size() >= 3 && name.compare(name.size() - 3, 3, "Ang") == 0) ||
           name == "Alpha";
}

double Value(const vexasim::ElementData& e, const char* name, double fallback) {
    for (const auto& p : e.parameters)
        if (p.name == name) return p.value;
    return fallback;
}

bool IsTuner(const vexasim::ElementData& e) {
    return e.name.compare(0, 6, "LTUNER") == 0 || e.name.compare(0, 7, "HBTUNER") == 0;
}

AnalysisStats& MutableStats() {
    static AnalysisStats stats;
    return stats;
}

std::string Describe(const Loads& loads, bool harmonics) {
    std::string text;
    for (int n = 0; n < (harmonics ? 3 : 1); ++n) {
        const std::complex<double> g = loads.gamma[n];
        const std::complex<double> z = kZ0 * (1.0 + g) / (1.0 - g);
        char buf[160];
        if (std::abs(1.0 - g) < 1e-12)
            std::snprintf(buf, sizeof buf, "%sgamma %.3f at %.1f deg (open)", n ? ", H" : "", std::abs(g),
                          RadiansToDegrees(std::arg(g)));
        else
            std::snprintf(buf, sizeof buf, "%sgamma %.3f at %.1f deg (Z = %.2f %c j%.2f ohm)", n ? ", H" : "",
                          std::abs(g), RadiansToDegrees(std::arg(g)), z.real(), z.imag() < 0 ? '-' : '+',
                          std::abs(z.imag()));
        if (n) text += std::to_string(n + 1) + ": ";
        text += buf;
    }
    return text;
}

// The last analysis of each schematic: the key is every parameter value of it
// and the circuit itself.
struct Cached {
    std::string key;
    bool ok = false;
    Outputs outputs;
    std::string error;
};

std::string Key(const vexasim::SchematicData& s) {
    std::string key;
    char buf[120];
    for (const auto& e : s.elements) {
        key += e.name + "{";
        for (const auto& p : e.parameters) {
            std::snprintf(buf, sizeof buf, "%.17g", p.value);
            key += p.name + "=" + buf + ";";
        }
        key += "}";
        if (e.hasCircuit) {
            const vexasim::CircuitData& c = e.circuit;
            std::snprintf(buf, sizeof buf, "%.17g/%.17g/%d/%d", c.frequency, c.timeLimit, c.maxPeriods,
                          c.stepsPerPeriod);
            key += c.netlist + "|" + c.output + "|" + c.drive + "|" + buf;
            for (const std::string& s : c.supply) key += "|" + s;
        }
    }
    return key;
}

}  // namespace

const vexasim::ElementData* CircuitElement(const vexasim::SchematicData& schematic) {
    for (const auto& e : schematic.elements)
        if (e.hasCircuit) return &e;
    return nullptr;
}

Params NetlistParams(const vexasim::ElementData& element) {
    Params params;
    for (const auto& p : element.parameters)
        params.emplace_back(p.name, IsAngle(p.name) ? RadiansToDegrees(p.value) : p.value);
    return params;
}

Loads SchematicLoads(const vexasim::SchematicData& schematic, const vexasim::ElementData& element) {
    Loads loads;
    loads.gamma[1] = std::polar(Value(element, "H2Mag", 1.0), Value(element, "H2Ang", kPi));
    loads.gamma[2] = std::polar(Value(element, "H3Mag", 1.0), Value(element, "H3Ang", kPi));
    for (const auto& e : schematic.elements) {
        if (!IsTuner(e)) continue;
        if (e.name.compare(0, 6, "LTUNER") == 0) {
            loads.gamma[0] = std::polar(Value(e, "Mag", 0.0), Value(e, "Ang", 0.0));
        } else {
            for (int n = 0; n < 3; ++n) {
                const std::string k = std::to_string(n + 1);
                loads.gamma[n] = std::polar(Value(e, ("Mag" + k).c_str(), n ? 1.0 : 0.0),
                                            Value(e, ("Ang" + k).c_str(), n ? kPi : 0.0));
            }
        }
        break;
    }
    return loads;
}

const AnalysisStats& Stats() { return MutableStats(); }

vexasim::Evaluator HostEvaluator() {
    auto cache = std::make_shared<std::map<std::string, Cached>>();
    return [cache](const vexasim::ProjectData& project, const vexasim::MeasurementData& m) {
        const vexasim::SchematicData* schematic = nullptr;
        for (const auto& s : project.schematics)
            if (s.name == m.source) schematic = &s;
        const vexasim::ElementData* element = schematic ? CircuitElement(*schematic) : nullptr;
        if (!element) {
            double v = 0.0;
            return pa::EvaluateMeasurement(project, m, v) ? v : 0.0;
        }
        Cached& c = (*cache)[schematic->name];
        const std::string key = Key(*schematic);
        const Loads loads = SchematicLoads(*schematic, *element);
        if (c.key != key) {
            c.key = key;
            c.error.clear();
            c.ok = SimulateCircuit(element->circuit, NetlistParams(*element), loads, c.outputs, c.error);
            AnalysisStats& stats = MutableStats();
            if (c.ok) {
                ++stats.analyses;
                stats.seconds += c.outputs.seconds;
                stats.periods += c.outputs.periods;
                stats.lastSeconds = c.outputs.seconds;
                stats.lastPeriods = c.outputs.periods;
            }
        }
        if (!c.ok) {
            bool harmonics = false;
            for (const auto& e : schematic->elements)
                if (e.name.compare(0, 7, "HBTUNER") == 0) harmonics = true;
            throw vexasim::AnalysisError(schematic->name + ": circuit " + element->name + ": " + c.error +
                                         ", at the tuner setting " + Describe(loads, harmonics));
        }
        const Outputs& o = c.outputs;
        const std::string& n = m.name;
        if (n == "Pout") return o.poutDbw;
        if (n == "PoutW") return o.poutW;
        if (n == "DE") return o.drainEffPct;
        if (n == "PAE") return o.paePct;
        if (n == "Gain") return o.gainDb;
        if (n == "Idc") return o.idcA;
        return 0.0;
    };
}

}  // namespace circuit
