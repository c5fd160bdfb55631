// What every analysis engine of the stand-in host takes and gives: the loads the
// tuners present, the outputs it measures, and the one table of the measurement
// names a schematic has, with their unit types. The closed-form device
// (vexasim/device/) and the circuit engine (vexasim/circuit/) both speak it.
#pragma once
#include <algorithm>
#include <cmath>
#include <complex>
#include <string>

namespace vexasim {

// Unit types of the host: a power in dB (base unit dBW; shown in dBm when the
// project says so) and a linear power (base unit W; shown in mW).
constexpr long kUnitPowerDb = 13;
constexpr long kUnitPowerLinear = 14;
// dBm over dBW.
constexpr double kDbmOverDbw = 30.0;
// The reference impedance of every reflection coefficient the host speaks of, ohm.
constexpr double kZ0 = 50.0;

// A power in dBm, in W.
inline double DbmToWatts(double dbm) { return std::pow(10.0, (dbm - kDbmOverDbw) / 10.0); }

// The loads at the output: reflection coefficients at f0, 2 f0 and 3 f0; and for a
// circuit with an input port, the source's reflection coefficients at the same
// harmonics and its available power.
struct Loads {
    std::complex<double> gamma[3] = {{0.0, 0.0}, {-1.0, 0.0}, {-1.0, 0.0}};
    std::complex<double> source[3] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
    double pavsDbm = 0.0;
};

// What an engine measures; an engine adds what is its own.
struct Outputs {
    double poutW = 0.0;        // fundamental power into the load
    double pinW = 0.0;         // input power
    double pdcW = 0.0;         // power from the supply
    double idcA = 0.0;         // supply current
    double poutDbw = 0.0;
    double drainEffPct = 0.0;
    double paePct = 0.0;
    double gainDb = 0.0;       // Pout / Pin
    double pavsW = 0.0;        // available power of the input port's source (0 without one)
    double gtDb = 0.0;         // transducer gain Pout / Pavs (an input port's circuit)
};

struct MeasurementInfo {
    const char* name;
    long unitType;            // kUnitPowerDb, kUnitPowerLinear, or 0
    const char* description;  // ends with ", <unit>" where the unit type does not say it
    bool circuitOnly;         // only a circuit element's schematic has it
    bool atCompression;       // a circuit measures it at compression too: "<name>_<level>dB"
};

inline constexpr MeasurementInfo kMeasurements[] = {
    {"Pout", kUnitPowerDb, "fundamental output power", false, true},
    {"PoutW", kUnitPowerLinear, "fundamental output power", false, false},
    {"DE", 0, "drain efficiency, %", false, true},
    {"PAE", 0, "power-added efficiency, %", false, true},
    {"Gain", 0, "operating gain, dB", false, true},
    {"Idc", 0, "DC drain current, A", false, true},
    {"Pin", kUnitPowerDb, "input power", true, true},
    {"Pavs", kUnitPowerDb, "available source power", true, true},
    {"Gt", 0, "transducer gain, dB", true, false},
    {"Gp", 0, "power gain, dB", true, false},
};

// The entry of a name, or null.
inline const MeasurementInfo* FindMeasurement(const std::string& name) {
    for (const MeasurementInfo& m : kMeasurements)
        if (name == m.name) return &m;
    return nullptr;
}

// The value of a measurement of the table that the outputs hold, in the host's
// base unit; false for a name they do not give (Pavs: the loads' own).
inline bool OutputValue(const Outputs& o, const std::string& name, double& value) {
    if (name == "Pout") value = o.poutDbw;
    else if (name == "PoutW") value = o.poutW;
    else if (name == "DE") value = o.drainEffPct;
    else if (name == "PAE") value = o.paePct;
    else if (name == "Gain" || name == "Gp") value = o.gainDb;
    else if (name == "Idc") value = o.idcA;
    else if (name == "Pin") value = 10.0 * std::log10(std::max(o.pinW, 1e-30));
    else if (name == "Gt") value = o.gtDb;
    else return false;
    return true;
}

}  // namespace vexasim
