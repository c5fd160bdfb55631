// RunSweep: drives the tuner through the gamma point set, reads every measurement
// chosen for contouring at each point, and hands the fitted values to the contour
// output. Every step below runs in this order; a stop returns at once, leaving in
// the project whatever was already changed, except the tuner: once the sweep has
// moved it, a stop or failure puts it back where the user had it.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "host/call.h"
#include "interp/interpolator_holder.h"
#include "project/lpsetup.h"

namespace {

constexpr const OLECHAR* kMagnitudeVariable = OLESTR("TMag");
constexpr const OLECHAR* kAngleVariable = OLESTR("TAng");
constexpr long kMinimumPoints = 3;

// Power unit types and the display units whose values the host keeps in another unit.
constexpr LONG kPowerDecibelType = 13;
constexpr LONG kPowerLinearType = 14;
constexpr const OLECHAR* kDecibelMilliwatt = OLESTR("dBm");
constexpr const OLECHAR* kMilliwatt = OLESTR("mW");
constexpr double kDbwToDbm = 30.0;
constexpr double kWattToMilliwatt = 1000.0;
constexpr LONG kValueAxis = 2;

// A maximum that starts small and positive, so that a measurement of only negative
// values still gets a top level of 1.
constexpr double kMaximumStart = 1e-9;
constexpr double kMinimumStart = 1e9;

// The marker of the point being simulated.
constexpr LONG kMarkerColor = 0xFF0000;  // blue, 0x00BBGGRR
constexpr LONG kMarkerSymbolSize = 10;
constexpr LONG kMarkerSymbolStyle = 5;
constexpr LONG kMarkerLineWidth = 1;
constexpr LONG kMarkerDataFormat = 1;

// Simulator.Analyze arguments: at each point, and after the sweep.
constexpr LONG kAnalyzePoint[2] = {0, -1};
constexpr LONG kAnalyzeAll[2] = {-1, -1};

using host::ComPtr;

// The window of the graph of that name, activated. E_FAIL without a window, 1 when
// the activation answered S_FALSE.
long ActivateGraphWindow(IVexaApplication* application, const OLECHAR* graphName) {
    ComPtr<IVexaWindows> windows = host::Get(application, &IVexaApplication::get_Windows);
    ComPtr<IVexaWindow> window = host::Get(windows, &IVexaWindows::Item, host::NameIndex(graphName));
    if (!window) return E_FAIL;
    return host::Call(window, &IVexaWindow::Activate) == S_FALSE ? 1 : 0;
}

// The name the project displays for a unit type; read afresh on every call.
host::Bstr DisplayedUnitName(IVexaApplication* application, LONG unitType) {
    ComPtr<IVexaProject> project = host::Get(application, &IVexaApplication::get_Project);
    ComPtr<IVexaUnits> units = host::Get(project, &IVexaProject::get_Units);
    ComPtr<IVexaUnit> unit = host::Get(units, &IVexaUnits::Item, host::Index(unitType));
    return host::Get(unit, &IVexaUnit::get_Name);
}

// A measurement's value at the analysis just run, in the unit the project displays
// for power ("dBm" and "mW" where the host keeps dBW and W).
double ReadValue(IVexaApplication* application, IVexaMeasurement* m) {
    double v = host::Get(m, &IVexaMeasurement::get_Value, 1, 1);
    const host::Bstr decibelUnit = DisplayedUnitName(application, kPowerDecibelType);
    if (host::Get(m, &IVexaMeasurement::get_UnitType, kValueAxis) == kPowerDecibelType &&
        host::Equal(decibelUnit.get(), kDecibelMilliwatt))
        v += kDbwToDbm;
    const host::Bstr linearUnit = DisplayedUnitName(application, kPowerLinearType);
    if (host::Get(m, &IVexaMeasurement::get_UnitType, kValueAxis) == kPowerLinearType &&
        host::Equal(linearUnit.get(), kMilliwatt))
        v *= kWattToMilliwatt;
    return v;
}

long Analyze(IVexaSimulator* simulator, const LONG (&arguments)[2]) {
    return host::Call(simulator, &IVexaSimulator::Analyze, arguments[0], arguments[1]) == S_FALSE ? 1 : 0;
}

void SetVariable(IVexaSimulator* simulator, const OLECHAR* name, double value) {
    host::Call(simulator, &IVexaSimulator::SetVariable, host::Str(name).get(), value);
}

// What one selected measurement gathers during the sweep.
struct Track {
    IVexaMeasurement* measurement = nullptr;  // held by validMeasurements
    double maximum = kMaximumStart;
    double minimum = kMinimumStart;
    GridOutcome outcome = GridOutcome::Varied;
};

// Puts the tuner back at its saved values when the sweep ends while the tuner is
// away from them (a stop or a failure). A best effort: whatever the host answers
// is ignored, and the result and message of the sweep stand.
struct TunerRestore {
    IVexaSimulator* simulator;  // set while the tuner is moved
    double magnitude;
    double angle;

    TunerRestore(IVexaSimulator* s, double m, double a) : simulator(s), magnitude(m), angle(a) {}
    TunerRestore(const TunerRestore&) = delete;
    TunerRestore& operator=(const TunerRestore&) = delete;
    ~TunerRestore() {
        if (!simulator) return;
        // Each call on its own: a refused magnitude still lets the angle go back.
        Try([&] { SetVariable(simulator, kMagnitudeVariable, magnitude); });
        Try([&] { SetVariable(simulator, kAngleVariable, angle); });
        Try([&] { Analyze(simulator, kAnalyzeAll); });
    }
    template <class F>
    static void Try(F&& f) noexcept {
        try {
            f();
        } catch (...) {
        }
    }
};

// The sweep's own box for measurements whose values could not be fitted.
void ShowUnfitted(const std::vector<host::Bstr>& names) {
    std::string list;
    for (const host::Bstr& name : names) list += (list.empty() ? "" : ", ") + host::ToAnsiLossy(name.get());
    const std::string text = "The values of " + list +
                             " could not be fitted over the gamma plane (a reading that is not a number, or gamma "
                             "points on one line). No contours were written for " +
                             (names.size() == 1 ? "it, and its data file was left as it was."
                                                : "them, and their data files were left as they were.");
    MessageBoxA(nullptr, text.c_str(), host::kProjectName, MB_OK);
}

}  // namespace

long LPSetup::RunSweep() {
    if (!setupChanged) return 0;
    // Never read past the point arrays, whatever pointCount says.
    const long count =
        std::min<long>(pointCount, static_cast<long>(std::min(pointMagnitudes.size(), pointAnglesDeg.size())));
    lastSweep = SweepReport();
    lastSweep.pointCount = std::max(count, 0L);
    bool ranToEnd = false;
    const long result = host::Guarded([&]() -> long {
        long r = ActivateGraphWindow(application.get(), lpnames::kPointsGraph);
        if (r != 0) return r;

        // Match the chosen display names against the project's measurements again.
        // Each must name exactly one: one that was deleted since it was chosen, or
        // a name that two measurements share (a colon in a source or measurement
        // name makes that possible), fails the sweep here.
        selectedMeasurementIndices.clear();
        for (const host::Bstr& wanted : selectedMeasurementNames) {
            long match = -1;
            int matches = 0;
            for (std::size_t j = 0; j < validMeasurements.size(); ++j) {
                if (!validMeasurements[j]) continue;
                if (host::Equal(host::DisplayName(validMeasurements[j].get()).get(), wanted.get())) {
                    match = static_cast<long>(j);
                    ++matches;
                }
            }
            if (matches != 1) return E_FAIL;
            selectedMeasurementIndices.push_back(match);
        }
        if (static_cast<long>(selectedMeasurementIndices.size()) != selectedMeasurementCount) return E_FAIL;
        if (selectedMeasurementFileNames.size() != selectedMeasurementIndices.size()) return E_FAIL;
        const std::size_t selected = selectedMeasurementIndices.size();

        auto holders = std::make_unique<InterpolatorHolder[]>(selected);
        std::vector<Track> tracks(selected);

        if (!magParameter || !angParameter) return E_FAIL;
        if (selectedSchematic < 0 || static_cast<std::size_t>(selectedSchematic) >= tunerSchematics.size() ||
            !tunerSchematics[static_cast<std::size_t>(selectedSchematic)])
            return E_FAIL;
        for (std::size_t i = 0; i < selected; ++i) {
            tracks[i].measurement = validMeasurements[static_cast<std::size_t>(selectedMeasurementIndices[i])].get();
            if (!tracks[i].measurement) return E_FAIL;
        }

        const double savedMagnitude = host::Get(magParameter, &IVexaParameter::get_Value);
        const double savedAngle = host::Get(angParameter, &IVexaParameter::get_Value);

        if (count < kMinimumPoints) return E_FAIL;

        // The marker of the point being simulated, on the points graph.
        ComPtr<IVexaMeasurements> pointsMeasurements = host::Get(pointsGraph, &IVexaGraph::get_Measurements);
        ComPtr<IVexaMeasurement> marker =
            host::Get(pointsMeasurements, &IVexaMeasurements::Add, host::Str(lpnames::kCurrentPoint).get(),
                      host::Str(lpnames::kApi).get());
        if (!marker) return E_FAIL;
        ComPtr<IVexaTraces> traces = host::Get(pointsGraph, &IVexaGraph::get_Traces);
        if (!traces) return E_FAIL;
        ComPtr<IVexaTrace> trace =
            host::Get(traces, &IVexaTraces::Item, host::Index(host::Get(traces, &IVexaTraces::get_Count)));
        if (!trace) return E_FAIL;
        host::Call(trace, &IVexaTrace::put_LineVisible, VARIANT_FALSE);
        host::Call(trace, &IVexaTrace::put_SymbolsVisible, VARIANT_TRUE);
        host::Call(trace, &IVexaTrace::put_Color, kMarkerColor);
        host::Call(trace, &IVexaTrace::put_SymbolSize, kMarkerSymbolSize);
        host::Call(trace, &IVexaTrace::put_SymbolStyle, kMarkerSymbolStyle);
        host::Call(trace, &IVexaTrace::put_LineWidth, kMarkerLineWidth);
        // One point of two columns: the real and imaginary part of gamma.
        if (host::Call(marker, &IVexaMeasurement::SetSize, 1, 2) == S_FALSE) return 1;
        host::Call(marker, &IVexaMeasurement::put_DataFormat, kMarkerDataFormat);

        ComPtr<IVexaProject> project = host::Get(application, &IVexaApplication::get_Project);
        ComPtr<IVexaSimulator> simulator = host::Get(project, &IVexaProject::get_Simulator);
        if (host::Call(simulator, &IVexaSimulator::AddVariable, host::Str(kMagnitudeVariable).get(),
                       host::DispatchArg(magParameter.get())) == S_FALSE)
            return 1;
        if (host::Call(simulator, &IVexaSimulator::AddVariable, host::Str(kAngleVariable).get(),
                       host::DispatchArg(angParameter.get())) == S_FALSE)
            return 1;

        // From the first point on, any way out of here gives the tuner back.
        TunerRestore restore{simulator.get(), savedMagnitude, savedAngle};
        for (long k = 0; k < count; ++k) {
            const double magnitude = pointMagnitudes[static_cast<std::size_t>(k)];
            const double angle = kPi * pointAnglesDeg[static_cast<std::size_t>(k)] / 180.0;
            const double x = magnitude * std::cos(angle);
            const double y = magnitude * std::sin(angle);

            host::Call(marker, &IVexaMeasurement::put_XValue, 1, 1.0);
            host::Call(marker, &IVexaMeasurement::put_Value, 1, 1, x);
            host::Call(marker, &IVexaMeasurement::put_Value, 1, 2, y);
            // The host takes angles in radians.
            SetVariable(simulator.get(), kMagnitudeVariable, magnitude);
            SetVariable(simulator.get(), kAngleVariable, angle);
            if (Analyze(simulator.get(), kAnalyzePoint) != 0) return 1;
            ++lastSweep.simulatedPoints;

            for (std::size_t i = 0; i < selected; ++i) {
                Track& t = tracks[i];
                const double v = ReadValue(application.get(), t.measurement);
                if (v > t.maximum) t.maximum = v;
                if (v < t.minimum) t.minimum = v;
                holders[i].AddPoint(x, y, v);
            }
        }

        SetVariable(simulator.get(), kMagnitudeVariable, savedMagnitude);
        SetVariable(simulator.get(), kAngleVariable, savedAngle);
        restore.simulator = nullptr;  // the tuner holds its own values again
        if (Analyze(simulator.get(), kAnalyzeAll) != 0) return 1;

        project = host::Get(application, &IVexaApplication::get_Project);
        ComPtr<IVexaDataFiles> dataFiles = host::Get(project, &IVexaProject::get_DataFiles);
        if (!dataFiles) return E_FAIL;
        const LONG dataFileCount = host::Get(dataFiles, &IVexaDataFiles::get_Count);
        // A measurement that cannot be fitted gets no data file and no contours; the
        // others are written as usual, and the sweep fails at its end.
        std::vector<host::Bstr> unfitted;
        for (std::size_t i = 0; i < selected; ++i) {
            const long index = static_cast<long>(i);
            r = WriteContourData(index, holders[i], dataFiles.get(), dataFileCount, tracks[i].outcome);
            if (r != 0) return r;
            if (tracks[i].outcome == GridOutcome::Unfitted) {
                unfitted.push_back(host::Copy(selectedMeasurementNames[i].get()));
                continue;
            }
            r = UpdateContourGraph(tracks[i].minimum, tracks[i].maximum, index);
            if (r != 0) return r;
        }
        holders.reset();
        if (!unfitted.empty()) ShowUnfitted(unfitted);

        if (Analyze(simulator.get(), kAnalyzeAll) != 0) return 1;
        r = ActivateGraphWindow(application.get(), lpnames::kContourGraph);
        if (r != 0) return r;
        if (unfitted.empty()) setupChanged = false;
        r = RemovePointsGraph();
        if (r != 0) return r;
        if (!unfitted.empty()) return E_FAIL;
        ranToEnd = true;
        for (const Track& t : tracks)
            if (t.outcome == GridOutcome::Constant) return 1;
        return 0;
    });
    lastSweep.stopped = result == 1 && !ranToEnd;
    return result;
}
