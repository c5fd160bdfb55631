#include "vexasim/circuit/circuit_evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "host/angles.h"
#include "vexasim/circuit/compression.h"
#include "vexasim/device/pa_measurements.h"
#include "vexasim/model/tuner.h"

namespace circuit {
namespace {


using vexasim::IsTuner;

double Value(const vexasim::ElementData& e, const char* name, double fallback) {
    return vexasim::ParameterValue(e, name, fallback);
}

AnalysisStats& MutableStats() {
    static AnalysisStats stats;
    return stats;
}

std::string Describe(const Loads& loads, bool harmonics) {
    std::string text;
    for (int n = 0; n < (harmonics ? 3 : 1); ++n) {
        const std::complex<double> g = loads.gamma[n];
        const std::complex<double> z = vexasim::GammaToImpedance(g, kZ0);
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
    // The drive-up at the same setting, run when a measurement at compression is asked.
    std::string compressionKey;
    bool compressionOk = false;
    Compression compression;
    DriveUpGuide guide;
};

// A measurement at compression: "<base>_<level>dB".
bool CompressionName(const std::string& name, std::string& base, double& level) {
    const size_t under = name.rfind('_');
    if (under == std::string::npos || name.size() < under + 4 || name.compare(name.size() - 2, 2, "dB") != 0)
        return false;
    const std::string number = name.substr(under + 1, name.size() - under - 3);
    char* end = nullptr;
    level = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || !(level > 0.0) || number.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    base = name.substr(0, under);
    const vexasim::MeasurementInfo* info = vexasim::FindMeasurement(base);
    return info && info->atCompression;
}

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
            key += c.netlist + "|" + c.output + "|" + c.drive + "|" + c.input + "|" + c.loadTuner + "|" +
                   c.sourceTuner + "|" + buf;
            for (const std::string& s : c.supply) key += "|" + s;
            if (c.hasDriveUp) {
                const auto& d = c.driveUp;
                std::snprintf(buf, sizeof buf, "|%.17g/%.17g/%.17g/%d", d.start, d.step, d.cap, d.powerGain);
                key += buf;
                for (double l : d.levels) key += "/" + std::to_string(l);
            }
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
    // An input port's available power is the engine's, not the netlist's: a new
    // drive continues the analysis before it instead of starting over.
    const bool port = element.hasCircuit && !element.circuit.input.empty();
    for (const auto& p : element.parameters)
        if (!port || p.name != "Pavs") params.emplace_back(p.name, vexasim::IsAngleParameter(p.name) ? RadiansToDegrees(p.value) : p.value);
    return params;
}

bool IsCircuitMeasurement(const std::string& name, long& unitType) {
    std::string base = name;
    double level = 0.0;
    const vexasim::MeasurementInfo* info = vexasim::FindMeasurement(name);
    if (!(info && info->circuitOnly) && !CompressionName(name, base, level)) return false;
    unitType = vexasim::FindMeasurement(base)->unitType;
    return true;
}

Loads SchematicLoads(const vexasim::SchematicData& schematic, const vexasim::ElementData& element) {
    Loads loads;
    loads.gamma[1] = std::polar(Value(element, "H2Mag", 1.0), Value(element, "H2Ang", kPi));
    loads.gamma[2] = std::polar(Value(element, "H3Mag", 1.0), Value(element, "H3Ang", kPi));
    const vexasim::CircuitData& c = element.circuit;
    // The load: the tuner named, or the first tuner that is not the source's.
    for (const auto& e : schematic.elements) {
        if (!IsTuner(e) || e.name == c.sourceTuner || (!c.loadTuner.empty() && e.name != c.loadTuner)) continue;
        vexasim::TunerGammas(e, loads.gamma);
        break;
    }
    // The source: 50 ohm at every harmonic unless a source tuner sets it, whose
    // harmonics an LTUNER leaves to the element (SH2Mag/SH2Ang, SH3Mag/SH3Ang).
    loads.source[1] = std::polar(Value(element, "SH2Mag", 0.0), Value(element, "SH2Ang", 0.0));
    loads.source[2] = std::polar(Value(element, "SH3Mag", 0.0), Value(element, "SH3Ang", 0.0));
    for (const auto& e : schematic.elements)
        if (!c.sourceTuner.empty() && e.name == c.sourceTuner) vexasim::TunerGammas(e, loads.source);
    loads.pavsDbm = Value(element, "Pavs", 0.0);
    return loads;
}

const AnalysisStats& Stats() { return MutableStats(); }

namespace {

// One measurement of a circuit's schematic: the analysis it needs, run once per
// setting and kept in the schematic's entry of the cache.
struct CircuitMeasurement {
    const vexasim::SchematicData& schematic;
    const vexasim::ElementData& element;
    Cached& cached;
    std::string key = Key(schematic);
    Loads loads = SchematicLoads(schematic, element);

    [[noreturn]] void Fail(const std::string& why) const {
        bool harmonics = false;
        for (const auto& e : schematic.elements)
            if (vexasim::IsHarmonicTuner(e)) harmonics = true;
        std::string where = Describe(loads, harmonics);
        const vexasim::CircuitData& circuit = element.circuit;
        if (!circuit.input.empty() && !circuit.sourceTuner.empty()) {
            Loads source;
            for (int n = 0; n < 3; ++n) source.gamma[n] = loads.source[n];
            where += ", source " + Describe(source, harmonics);
        }
        throw vexasim::AnalysisError(schematic.name + ": circuit " + element.name + ": " + why +
                                     ", at the tuner setting " + where);
    }

    void CheckTuners() const {
        for (const std::string* tuner : {&element.circuit.loadTuner, &element.circuit.sourceTuner}) {
            bool found = tuner->empty();
            for (const auto& e : schematic.elements) found = found || e.name == *tuner;
            if (!found)
                throw vexasim::AnalysisError(schematic.name + ": circuit " + element.name +
                                             ": the schematic has no tuner \"" + *tuner + "\"");
        }
    }

    // A measurement at compression: the drive-up at this setting.
    double AtCompression(const std::string& name, const std::string& base, double level) {
        const vexasim::CircuitData& circuit = element.circuit;
        if (!circuit.hasDriveUp)
            throw vexasim::AnalysisError(schematic.name + ": " + name + ": circuit " + element.name +
                                         " asks for no drive-up (circuit.driveUp)");
        bool asked = false;
        for (double l : circuit.driveUp.levels) asked = asked || std::fabs(l - level) < 1e-9;
        if (!asked)
            throw vexasim::AnalysisError(schematic.name + ": " + name + ": circuit " + element.name +
                                         " asks for no compression of " + std::to_string(level) + " dB");
        Cached& c = cached;
        if (c.compressionKey != key) {
            c.compressionKey = key;
            // The loads before guide where this one's drives go.
            c.compressionOk = DriveUp(circuit, NetlistParams(element), loads, c.compression, &c.guide);
            if (c.compressionOk) {
                AnalysisStats& stats = MutableStats();
                ++stats.driveUps;
                stats.analyses += c.compression.analyses;
                stats.seconds += c.compression.seconds;
                stats.periods += c.compression.periods;
            }
        }
        if (!c.compressionOk) Fail("the drive-up failed " + c.compression.error);
        const CompressionPoint* point = nullptr;
        for (const CompressionPoint& p : c.compression.points)
            if (std::fabs(p.level - level) < 1e-9) point = &p;
        if (!point) Fail(c.compression.error);
        if (base == "Pout") return point->poutDbw;
        if (base == "PAE") return point->paePct;
        if (base == "DE") return point->drainEffPct;
        if (base == "Gain") return point->gainDb;
        if (base == "Pin") return point->pinDbw;
        if (base == "Pavs") return point->pavsDbw;
        return point->idcA;
    }

    // A measurement of the steady state at the drive the element sets.
    double AtDrive(const std::string& name) {
        Cached& c = cached;
        if (c.key != key) {
            c.key = key;
            c.error.clear();
            c.ok = SimulateCircuit(element.circuit, NetlistParams(element), loads, c.outputs, c.error);
            AnalysisStats& stats = MutableStats();
            if (c.ok) {
                ++stats.analyses;
                stats.seconds += c.outputs.seconds;
                stats.periods += c.outputs.periods;
                stats.lastSeconds = c.outputs.seconds;
                stats.lastPeriods = c.outputs.periods;
            }
        }
        if (!c.ok) Fail(c.error);
        if (name == "Pavs") return element.circuit.input.empty() ? 0.0 : loads.pavsDbm - vexasim::kDbmOverDbw;
        double value = 0.0;
        return vexasim::OutputValue(c.outputs, name, value) ? value : 0.0;
    }
};

}  // namespace

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
        CircuitMeasurement measurement{*schematic, *element, (*cache)[schematic->name]};
        measurement.CheckTuners();
        std::string base;
        double level = 0.0;
        if (CompressionName(m.name, base, level)) return measurement.AtCompression(m.name, base, level);
        return measurement.AtDrive(m.name);
    };
}

}  // namespace circuit
