// The stand-in host: an in-memory implementation of the host object model with
// real COM reference counting, fault injection, a record of the calls made and
// counts of the references handed out, so that a test can prove that everything
// the wizard took was released.
//
// Call names are "<Object>.<member>": the interface name of host/vexa.h without
// "IVexa" and the C++ member name with "get_" dropped: "Elements.Item",
// "Application.MainWindowHandle", "Parameter.Value" (get), "Parameter.put_Value",
// "Trace.put_Color", "GraphSettings.put_Mode", "Simulator.Analyze". Also recorded:
// "Application.GetTypeInfo" and "TypeInfo.GetTypeAttr" (QueryInterface, AddRef and
// Release are not).
#pragma once
#include <windows.h>
#include <objbase.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/com_ptr.h"
#include "host/vexa.h"

namespace vexasim {

// Each item carries an id, unique in its host, by which the COM object that stands
// for it finds it again (the vectors may move); 0 asks the host to assign one.
// A COM object whose item was removed from the project answers E_FAIL.
struct ParameterData {
    ParameterData() = default;
    ParameterData(std::string name_, double value_) : name(std::move(name_)), value(value_) {}
    ParameterData(long id_, std::string name_, double value_) : id(id_), name(std::move(name_)), value(value_) {}

    long id = 0;
    std::string name;
    double value = 0.0;  // base unit: angles in radians
};

// A circuit element: a SPICE netlist that the circuit engine simulates with the
// tuner's loads presented at `output` (against ground), where the engine also
// applies the supply voltage (the element's parameter "Vdd") through an ideal bias
// feed. The element's parameters are the netlist's .param values.
struct CircuitData {
    std::string netlist;      // the netlist's lines (no title, analysis or .end)
    std::string output;       // the node the tuner loads
    double frequency = 0.0;   // fundamental, Hz
    std::string drive;        // the voltage source whose delivered power is the input power
    double timeLimit = 20.0;  // seconds of simulation per analysis before it fails
    int maxPeriods = 400;     // periods of the transient before it fails without a steady state
    int stepsPerPeriod = 200; // largest time step: one period over this
    // The netlist's own supply sources, when it feeds itself (a choke from a supply,
    // a DC block to the output): the engine then applies no DC at the output and
    // takes the DC power from these. Empty: the engine supplies Vdd at the output.
    std::vector<std::string> supply;
    // The input port, instead of a drive source: the node that a source of
    // impedance Zs (50 ohm, or the source tuner's) drives with the available power
    // of the element's parameter "Pavs" (dBm).
    std::string input;
    // The tuners by element name: the one that loads the output ("" the first
    // tuner of the schematic) and the one that terminates the input ("" none: 50 ohm).
    std::string loadTuner, sourceTuner;
    // The drive-up to gain compression (an input port's circuit only): Pavs from
    // start in steps up to cap (dBm); each level in dB of compression of Gt, or of
    // Gp when powerGain.
    struct DriveUp {
        double start = 0.0, step = 1.0, cap = 0.0;
        std::vector<double> levels;
        bool powerGain = false;
    };
    bool hasDriveUp = false;
    DriveUp driveUp;
};

struct ElementData {
    long id = 0;
    std::string name;
    std::vector<ParameterData> parameters;
    bool hasCircuit = false;
    CircuitData circuit{};  // meaningful when hasCircuit
};

// Thrown by an evaluator when the analysis cannot give values (a circuit that does
// not converge or reach a steady state): Simulator.Analyze then fails with E_FAIL
// and this description.
struct AnalysisError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SchematicData {
    long id = 0;
    std::string name;
    std::vector<ElementData> elements;
};

struct TraceData {
    bool lineVisible = true;
    bool symbolsVisible = false;
    long color = 0;
    long symbolSize = 0;
    long symbolStyle = 0;
    long lineWidth = 1;
};

struct MeasurementData {
    long id = 0;
    std::string source;
    std::string name;
    long resultType = 1;  // 1 real, 2 complex
    long unitType = 0;    // unit type code of the values (axis 2)
    long dataFormat = 0;
    // points[i] = {real, imaginary}; xValues parallel.
    std::vector<std::pair<double, double>> points;
    std::vector<double> xValues;
    TraceData trace;
    std::string DisplayName() const { return source + ":" + name; }
};

struct GraphData {
    long id = 0;
    std::string name;
    long type = 2;
    long settingsMode = 1;
    bool hasWindow = true;
    std::vector<MeasurementData> measurements;
};

struct DataFileData {
    long id = 0;
    std::string name;
    std::string fileName;
    long flag = 0;
    long type = 3;
    std::string text;
    // Where the host stores the text, relative to the project's folder; empty until
    // the project is saved. Not the file name: two data files may share that.
    std::string path;
};

// What a test or the analysis engine sees of the project, as plain data. Tests
// read it to check what the wizard did, and change it between runs.
struct ProjectData {
    std::string name = "project";
    std::vector<SchematicData> schematics;
    std::vector<GraphData> graphs;
    std::vector<DataFileData> dataFiles;
    std::map<long, std::string> units;  // unit type -> displayed unit name, e.g. 13 -> "dBm"
    // Simulator variables: bound name -> the ids of the parameter's schematic, element
    // and itself, "12/13/14" (Host::BoundParameter finds it).
    std::map<std::string, std::string> variables;
};

// An analysis that ran: the two arguments of Simulator.Analyze and the tuner
// elements a simulator variable set since the analysis before, each with the
// setting it ran at: the harmonic whose parameters were set, and their values
// (magnitude, and the angle in radians).
struct TunerSetting {
    std::string schematic, element;
    int harmonic = 1;
    double magnitude = 0.0, angle = 0.0;
};
struct AnalysisRecord {
    long first = 0, second = 0;
    std::vector<TunerSetting> tuners;
};

// The values a real measurement takes at one analysis, given the current project
// (its tuner parameters included). Returns the value in the host's base unit.
using Evaluator = std::function<double(const ProjectData& project, const MeasurementData& measurement)>;

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The project as plain data; the COM objects read and write it.
    ProjectData& project();
    // Gives ids to the items that have none now (every COM call does this first).
    void AssignIds();
    // The parameter a simulator variable is bound to; null when unbound or removed.
    ParameterData* BoundParameter(const std::string& variable);
    // The name of the graph whose window was activated last; "" when none (or closed).
    std::string ActiveWindow() const;

    // The application object. Application() is borrowed (no reference taken);
    // ApplicationDispatch() hands out a counted IDispatch, as the host passes to Run.
    IVexaApplication* Application();
    host::ComPtr<IDispatch> ApplicationDispatch();

    void SetMainWindowHandle(LONG handle);
    // The version the application's type information reports (5.0 by default);
    // without type information, GetTypeInfo fails.
    void SetTypeInfoVersion(WORD major, WORD minor);
    void SetTypeInfoAvailable(bool available);

    // The call names of every member (see the top of this file), in a fixed order.
    static const std::vector<std::string>& Members();
    static bool IsMember(const std::string& call);

    // Fault injection: the k-th call (1-based, counted from the injection; 0 = every
    // call) of the named member fails with hr and the description as error info,
    // answers S_FALSE, or answers S_OK with a null object (0 for a number). A faulted
    // call does nothing else; it is recorded like any other. A name that is not one
    // of Members(), or a negative k, throws std::invalid_argument.
    void InjectFailure(const std::string& call, int k, HRESULT hr, const std::string& description);
    void InjectStop(const std::string& call, int k);
    void InjectNull(const std::string& call, int k);
    void ClearFaults();

    // Every call made through COM, in order, by name.
    const std::vector<std::string>& Calls() const;
    int CallCount(const std::string& call) const;
    void ClearCalls();

    // References handed out through COM and not yet released (0 when the caller
    // released everything it took; type attributes not yet given back with
    // ReleaseTypeAttr count too), and the host objects alive (the application,
    // which the Host holds, included).
    long ExternalReferences() const;
    long LiveObjects() const;

    // Analysis: every Simulator.Analyze (whatever its arguments) evaluates every real
    // measurement of every graph whose source names a schematic, through the
    // evaluator, and stores the value as point 1, column 1 (a measurement without
    // points gets one). Without an evaluator values stay as they are. AnalyzeCount
    // counts the analyses that ran (not those answered by an injected fault).
    void SetEvaluator(Evaluator evaluator);
    int AnalyzeCount() const;
    // Called after every analysis that ran, with the two arguments of Analyze.
    void SetAnalyzeObserver(std::function<void(long first, long second)> observer);
    // Every analysis that ran, in order.
    const std::vector<AnalysisRecord>& Analyses() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A small fluent builder for test projects:
//   ProjectBuilder(host).Schematic("Amp").Element("LTUNER1", {{"Mag", 0.0}, {"Ang", 0.0}})
//       .Graph("Out", 3).Measurement("Amp", "Pout", 1, 13).Units(13, "dBm");
class ProjectBuilder {
public:
    explicit ProjectBuilder(Host& host);
    ProjectBuilder& Schematic(const std::string& name);
    // Builder calls that need a schematic, graph or measurement before them throw
    // std::logic_error without one.
    ProjectBuilder& Element(const std::string& name, std::vector<ParameterData> parameters = {});
    ProjectBuilder& Graph(const std::string& name, long type = 2);
    ProjectBuilder& Measurement(const std::string& source, const std::string& name, long resultType = 1,
                                long unitType = 0);
    // Points of the last measurement added (complex values: {real, imaginary}).
    ProjectBuilder& Points(std::vector<std::pair<double, double>> points);
    ProjectBuilder& DataFile(const std::string& name, const std::string& fileName, long type = 3,
                             const std::string& text = "");
    ProjectBuilder& Units(long unitType, const std::string& name);

private:
    Host& host_;
};

}  // namespace vexasim
