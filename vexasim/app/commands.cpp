#include "vexasim/app/commands.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "host/angles.h"
#include "host/call.h"
#include "vexasim/report/chart_contours.h"
#include "vexasim/report/contours.h"
#include "vexasim/project_file/data_file_paths.h"
#include "vexasim/app/dialog_script.h"
#include "vexasim/report/html.h"
#include "vexasim/app/interactive.h"
#include "vexasim/app/inject.h"
#include "vexasim/report/outputs.h"
#include "vexasim/project_file/project_file.h"
#include "vexasim/app/pursuit_report.h"
#include "vexasim/app/run_options.h"
#include "vexasim/app/sweep_watcher.h"
#include "vexasim/report/run_results.h"
#include "vexasim/project_file/settings_stream.h"
#include "vexasim/report/svg.h"
#include "vexasim/system/system.h"
#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/host.h"

namespace vexasim {
namespace {

const char* const kAddinsKey = "Software\\Norvane\\Vexa\\Addins";

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::string QueryString(HKEY key, const char* name) {
    char buf[1024];
    DWORD size = sizeof buf, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return "";
    return std::string(buf, size && buf[size - 1] == '\0' ? size - 1 : size);
}

bool StreamBytes(IStream* stream, std::vector<uint8_t>& bytes) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER end;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end))) return false;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return false;
    bytes.assign(static_cast<size_t>(end.QuadPart), 0);
    ULONG read = 0;
    if (!bytes.empty() && (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
                           read != bytes.size()))
        return false;
    return true;
}

// Ctrl-C (or SIGTERM) during a run: the first asks the add-in to stop the way a
// host does, by answering S_FALSE to its next analysis, and the run then ends as
// a stopped one, its outputs written, with the status of an interrupted program.
// A second ends the process at once; every output is written under a temporary
// name and renamed, so the earlier ones stay whole.
constexpr int kInterruptedStatus = 130;
volatile std::sig_atomic_t interrupts = 0;

extern "C" void OnInterrupt(int signal) {
    if (interrupts > 0) std::_Exit(kInterruptedStatus);
    interrupts = 1;
    std::signal(signal, OnInterrupt);  // systems that reset the handler on delivery
}

// ngspice's log is written under a temporary name while the run goes on and
// renamed into place when it ends, so an interrupted run leaves the earlier log whole.
class LogFile {
public:
    explicit LogFile(const std::string& path) : path_(path), temporary_(TemporaryName(path)) {
        circuit::SetLogFile(temporary_);
    }
    ~LogFile() {
        circuit::SetLogFile("");
        std::string error;
        if (!ReplaceFile(temporary_, path_, error)) std::fprintf(stderr, "vexasim: %s\n", error.c_str());
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

private:
    std::string path_, temporary_;
};

int Fail(const std::string& message, int status = 2) {
    std::fprintf(stderr, "vexasim: %s\n", message.c_str());
    return status;
}

// The charts of a graph of type 2: the SVG, and the interactive page when it has contours.
bool WriteCharts(const std::string& outDir, const ProjectData& project, const GraphData& graph,
                 const ChartOptions& options, std::string& error) {
    if (!WriteFileAtomically(outDir + "/" + SvgFileName(graph.name), RenderSmithChart(project, graph, nullptr, options),
                             error))
        return false;
    if (ChartContours(project, graph, options).empty()) return true;
    return WriteFileAtomically(outDir + "/" + HtmlFileName(graph.name),
                               RenderInteractiveChart(project, graph, options), error);
}

}  // namespace

int RegisterModule(const std::string& module, bool doRegister) {
    std::string path = AbsolutePath(module);
    HMODULE lib = LoadLibraryA(path.c_str());
    if (!lib) return Fail("cannot load " + module);
    const char* name = doRegister ? "DllRegisterServer" : "DllUnregisterServer";
    auto proc = reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
    if (!proc) {
        FreeLibrary(lib);
        return Fail(module + " does not export " + name);
    }
    HRESULT hr = proc();
    FreeLibrary(lib);
    if (FAILED(hr)) return Fail(std::string(name) + " failed with " + Hex(hr), 1);
    std::printf("%s %s\n", doRegister ? "registered" : "unregistered", path.c_str());
    return 0;
}

int ListAddins() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAddinsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::printf("no add-ins registered\n");
        return 0;
    }
    int count = 0;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        std::string friendly, description;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            friendly = QueryString(sub, "FriendlyName");
            description = QueryString(sub, "Description");
            RegCloseKey(sub);
        }
        if (friendly.empty() && description.empty()) continue;  // a key left without values after unregistration
        std::printf("%s\t%s\t%s\n", name, friendly.c_str(), description.c_str());
        ++count;
    }
    RegCloseKey(key);
    if (count == 0) std::printf("no add-ins registered\n");
    return 0;
}

namespace {

// What a round of a pursuit leaves for the next: the samples, the results and
// the project as saved.
struct RoundOutcome {
    SampleTable samples;
    RunResults results;
    ProjectFile file;
    ChartOptions chart;
    std::string projectName;
};

// What a run of the wizard left: what Run answered, whether it was cancelled,
// the add-in's settings as it saved them (empty when it did not) and its name.
struct WizardOutcome {
    int status = 0;
    HRESULT ran = E_FAIL;
    VARIANT_BOOL cancelled = VARIANT_TRUE;
    std::vector<uint8_t> settings;
    std::string wizardName;
};

// Hands the add-in what the project holds of it: its stored settings, or else its name.
void GiveStoredState(const ProjectFile& file, const std::string& addin, IPersistStream* persist, IVexaWizard* run) {
    auto stored = file.addins.find(addin);
    if (stored != file.addins.end() && stored->second.hasSettings && persist) {
        host::ComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return;
        ULONG written = 0;
        const auto& bytes = stored->second.settings;
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        LARGE_INTEGER zero;
        zero.QuadPart = 0;
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        const HRESULT hr = persist->Load(stream.get());
        if (FAILED(hr)) std::fprintf(stderr, "vexasim: the stored settings were not loaded (%s)\n", Hex(hr).c_str());
    } else if (stored != file.addins.end() && stored->second.hasName) {
        host::Bstr n = host::FromAnsi(stored->second.name);
        run->put_Name(n.get());
    }
}

// A host that keeps the persistence contract: an add-in's settings are written
// into the project only when it says they changed since they were loaded
// (IsDirty answers S_OK), and always when the project did not hold them yet.
// Otherwise the stored bytes stay as they were (settings stays empty).
void TakeSettings(IPersistStream* persist, bool stored, WizardOutcome& outcome) {
    if (!persist || (stored && persist->IsDirty() != S_OK)) return;
    host::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return;
    const HRESULT hr = persist->Save(stream.get(), TRUE);
    if (FAILED(hr)) {
        std::fprintf(stderr, "vexasim: the add-in's settings were not saved (%s)\n", Hex(hr).c_str());
        outcome.status = 1;
    } else {
        StreamBytes(stream.get(), outcome.settings);
    }
}

void ReportWizardFailure(HRESULT hr) {
    host::ComPtr<IErrorInfo> info;
    std::string description;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        host::Bstr d;
        info->GetDescription(d.put());
        description = host::ToAnsiLossy(d.get());
    }
    std::fprintf(stderr, "vexasim: the wizard failed (%s)%s%s\n", Hex(hr).c_str(), description.empty() ? "" : ": ",
                 description.c_str());
}

// Creates the add-in, hands it the project's state of it and runs it with the
// user; COM is initialised. Fails (a status other than 0) when the add-in cannot
// be created or is no wizard.
int RunWizard(const RunOptions& o, const ProjectFile& file, Host& host, SweepWatcher& watcher, RunUser& user,
              WizardOutcome& outcome) {
    host::Bstr id = host::FromAnsi(o.addin);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(id.get(), &clsid);
    host::ComPtr<IUnknown> wizard;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, wizard.put_void());
    if (FAILED(hr))
        return Fail("the add-in " + o.addin + " cannot be created (" + Hex(hr) +
                    "); register it with: vexasim register MODULE");
    host::ComPtr<IPersistStream> persist;
    host::ComPtr<IVexaWizard> run;
    wizard.query(IID_IPersistStream, persist);
    wizard.query(IID_IVexaWizard, run);
    if (!run) return Fail(o.addin + " is not a wizard");
    GiveStoredState(file, o.addin, persist.get(), run.get());
    {
        host::ComPtr<IDispatch> app = host.ApplicationDispatch();
        std::unique_ptr<platform::ScopedInputSource> scope;
        if (user.AnswersDialogs()) scope = std::make_unique<platform::ScopedInputSource>(user);
        outcome.ran = run->Run(app.get(), &outcome.cancelled);
    }
    watcher.Finish();
    if (user.SawError()) outcome.status = 1;
    for (const auto& p : user.Problems()) {
        std::fprintf(stderr, "vexasim: %s\n", p.c_str());
        outcome.status = 1;
    }
    if (FAILED(outcome.ran)) {
        ReportWizardFailure(outcome.ran);
        outcome.status = 1;
    }
    auto stored = file.addins.find(o.addin);
    TakeSettings(persist.get(), stored != file.addins.end() && stored->second.hasSettings, outcome);
    host::Bstr name;
    if (SUCCEEDED(run->get_Name(name.put()))) outcome.wizardName = host::ToAnsiLossy(name.get());
    if (!outcome.cancelled && !o.quiet)
        std::fprintf(stderr, "the wizard simulated %zu points\n", watcher.table.rows.size());
    return 0;
}

// The project as the wizard left it, with the add-in's state; the data files,
// samples, charts and the project file written into the output folder, and the
// summary printed (not for a round of a pursuit, which hands the outcome back).
int WriteRunOutputs(const RunOptions& o, ProjectFile& file, Host& host, SweepWatcher& watcher,
                    const WizardOutcome& w, RoundOutcome* outcome) {
    std::string error;
    // The pairs of the settings the project now holds: those just saved, or the
    // stored ones the add-in left unchanged.
    const auto held = file.addins.find(o.addin);
    const bool keepsStored = w.settings.empty() && held != file.addins.end() && held->second.hasSettings;
    std::vector<std::pair<std::string, std::string>> pairs = ContourPairs(keepsStored ? held->second.settings : w.settings);
    RunResults results = AnalyseRun(host.project(), watcher.table, pairs);
    for (const auto& warning : RewrittenContourWarnings(file.data, host.project(), results))
        std::fprintf(stderr, "vexasim: %s\n", warning.c_str());
    const RunResults* simulated = watcher.table.rows.empty() ? nullptr : &results;
    file.data = host.project();
    AddinState& state = file.addins[o.addin];
    state.hasName = true;
    state.name = w.wizardName;
    if (!w.settings.empty()) {
        state.hasSettings = true;
        state.settings = w.settings;
    }
    if (!MakeFolder(o.outDir)) return Fail("cannot create the folder " + o.outDir, 1);
    std::string projectName = o.project.substr(LastSeparator(o.project) + 1);
    std::set<std::string> outputs = {projectName, kSamplesFileName};
    for (const auto& g : file.data.graphs)
        if (g.type == 2) outputs.insert({SvgFileName(g.name), HtmlFileName(g.name)});
    AssignDataFilePaths(file.data, outputs);
    for (const auto& f : file.data.dataFiles) {
        if (!IsPlainFileName(f.fileName)) return Fail("refusing to write the data file name \"" + f.fileName + "\"", 1);
        if (!WriteFileAtomically(o.outDir + "/" + f.path, f.text, error)) return Fail(error, 1);
    }
    if (!watcher.table.rows.empty()) {
        std::vector<std::string> columns;
        for (const auto& p : pairs) columns.push_back(p.first);
        for (const auto& p : pairs) columns.push_back(p.first + " LOO");
        AddLeaveOneOutColumns(watcher.table, results);
        if (!WriteFileAtomically(o.outDir + "/" + kSamplesFileName, SamplesCsv(watcher.table, columns), error))
            return Fail(error, 1);
    }
    ChartOptions chart;
    chart.results = simulated;
    chart.settings = ReadRunSettings(file.addins[o.addin].settings);
    chart.earlierContours = o.earlierContours;
    for (const auto& g : file.data.graphs)
        if (g.type == 2 && !WriteCharts(o.outDir, file.data, g, chart, error)) return Fail(error, 1);
    if (!WriteFileAtomically(o.outDir + "/" + projectName, SerializeProject(file), error)) return Fail(error, 1);
    if (!watcher.table.rows.empty() && !outcome)
        for (const auto& p : pairs) std::fputs(Summary(file.data, p.first, p.second, watcher.table, simulated).c_str(), stdout);
    if (!o.quiet) std::fprintf(stderr, "outputs written to %s\n", o.outDir.c_str());
    if (outcome) *outcome = {watcher.table, results, file, chart, projectName};
    return 0;
}

// ngspice's own output goes beside the outputs, never to the terminal: a log
// when the project holds a circuit.
int OpenCircuitLog(const RunOptions& o, const ProjectFile& file, std::unique_ptr<LogFile>& log) {
    for (const auto& sch : file.data.schematics)
        if (circuit::CircuitElement(sch)) {
            if (!MakeFolder(o.outDir)) return Fail("cannot create the folder " + o.outDir, 1);
            log = std::make_unique<LogFile>(o.outDir + "/ngspice.log");
            break;
        }
    return 0;
}

// One run of the wizard with its outputs; a round of a pursuit also hands back
// what it simulated and prints no summary of its own.
int RunRound(const RunOptions& o, RoundOutcome* outcome) {
    std::string error;
    ProjectFile file;
    std::vector<std::string> errors;
    if (!LoadProjectFile(o.project, file, errors)) {
        for (const auto& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        return Fail("the project was not loaded; nothing was written");
    }
    for (const auto& w : SharedPathWarnings(file.data)) std::fprintf(stderr, "vexasim: %s\n", w.c_str());
    std::vector<DialogStep> script;
    if (!BuildDialogScript(o.dialog, script, error)) return Fail(error);
    bool interactive = false;
    if (!ChooseInteractive(o.interactive, o.dialog, interactive, error)) return Fail(error);
    std::unique_ptr<LogFile> log;
    if (int failed = OpenCircuitLog(o, file, log)) return failed;

    Host host;
    host.project() = file.data;
    host.SetEvaluator(circuit::HostEvaluator());
    for (const Injection& injection : o.injections) Inject(host, injection);
    SweepWatcher watcher(host, o.quiet);
    bool stopAsked = false;
    host.SetAnalyzeObserver([&](long a, long b) {
        if (o.analysisDelayMs) SleepMilliseconds(o.analysisDelayMs);
        watcher.OnAnalyze(a, b);
        if (interrupts && !stopAsked) {
            host.InjectStop("Simulator.Analyze", 1);
            stopAsked = true;
        }
    });
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) return Fail("COM could not be initialised: " + Hex(hr), 1);
    WizardOutcome w;
    std::unique_ptr<RunUser> user = MakeRunUser(interactive, std::move(script));
    const int failed = RunWizard(o, file, host, watcher, *user, w);
    user.reset();
    CoUninitialize();
    if (failed) return failed;
    if (host.ExternalReferences() != 0)
        std::fprintf(stderr, "vexasim: the add-in kept %ld references to the project\n", host.ExternalReferences());
    const bool cancelled = w.cancelled && SUCCEEDED(w.ran);
    if (interrupts) {
        std::fprintf(stderr, "vexasim: interrupted; %s\n",
                     cancelled ? "nothing was written" : "writing what was done (again to end at once)");
        w.status = kInterruptedStatus;
    }
    // Cancel leaves the project as it was: nothing is written.
    if (cancelled) {
        if (!o.quiet && !interrupts) std::fprintf(stderr, "the wizard was cancelled; nothing was written\n");
        return w.status;
    }
    const int written = WriteRunOutputs(o, file, host, watcher, w, outcome);
    return written ? written : w.status;
}

// The pursuit: rounds of the wizard, each into its own folder round-N, then the
// last round's outputs in the output folder, its charts with the trade-off line.
int PursueCommand(const RunOptions& options) {
    RunOptions o = options;
    o.dialog.simulate = true;
    if (o.dialog.grid < 0) o.dialog.grid = 0;  // Coarse: many cheap rounds
    PursuitSettings settings = o.pursuit;
    if (!o.dialog.radius.empty()) {
        char* end[3] = {};
        settings.centerMag = std::strtod(o.dialog.centerMag.c_str(), &end[0]);
        settings.centerAngDeg = std::strtod(o.dialog.centerAng.c_str(), &end[1]);
        settings.radius = std::strtod(o.dialog.radius.c_str(), &end[2]);
        if (*end[0] || *end[1] || *end[2]) return Fail("--center and --radius take numbers");
    }
    RoundOutcome last;
    int status = 0;
    const PursuitReport report = Pursue(settings, [&](int round, const RoundGrid& grid, RoundData& data,
                                                       std::string& error) {
        RunOptions r = o;
        r.outDir = o.outDir + "/round-" + std::to_string(round);
        r.dialog.centerMag = GridNumber(grid.centerMag);
        r.dialog.centerAng = GridNumber(grid.centerAngDeg);
        r.dialog.radius = GridNumber(grid.radius);
        if (!o.quiet)
            std::fprintf(stderr, "round %d: centre %s at %s deg, radius %s\n", round, r.dialog.centerMag.c_str(),
                         r.dialog.centerAng.c_str(), r.dialog.radius.c_str());
        last = RoundOutcome();
        status = RunRound(r, &last);
        data.samples = last.samples;
        if (status != 0 || last.samples.rows.empty()) {
            error = "round " + std::to_string(round) + " of the pursuit failed; its outputs are in " + r.outDir;
            return false;
        }
        for (const std::string& c : data.samples.columns) {
            const std::string unit = DisplayUnit(last.file.data, c);
            data.displayUnits.push_back(unit);
            data.units.push_back(unit.compare(0, 2, "dB") == 0 ? "dB" : unit);
        }
        return true;
    });
    if (!report.ok) return Fail(report.error, status ? status : 2);

    // The output folder holds the last round, so that `vexasim run` on its project repeats it.
    std::string error;
    const std::string from = o.outDir + "/round-" + std::to_string(report.grids.size()) + "/";
    for (const std::string& name : {last.projectName, std::string(kSamplesFileName)}) {
        std::ifstream in(from + name, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) return Fail("cannot read " + from + name, 1);
        if (!WriteFileAtomically(o.outDir + "/" + name, text, error)) return Fail(error, 1);
    }
    for (const auto& f : last.file.data.dataFiles)
        if (!WriteFileAtomically(o.outDir + "/" + f.path, f.text, error)) return Fail(error, 1);
    ChartOptions chart = last.chart;
    chart.results = &last.results;
    chart.overlays.push_back(PursuitPath(report));
    if (!report.tradeOff.empty()) chart.overlays.push_back(TradeOffLine(report));
    PursuitView(report, chart.viewCentre, chart.viewHalfWidth);
    for (const auto& g : last.file.data.graphs)
        if (g.type == 2 && !WriteCharts(o.outDir, last.file.data, g, chart, error)) return Fail(error, 1);
    std::fputs(PursuitSummary(report).c_str(), stdout);
    if (!o.quiet) std::fprintf(stderr, "the last round's outputs are in %s as well\n", o.outDir.c_str());
    return status;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
    RunOptions o;
    std::string error;
    if (!ParseRunOptions(args, o, error)) return Fail(error);
    if (!o.pursuit.measurements.empty()) return PursueCommand(o);
    return RunRound(o, nullptr);
}

int RenderCommand(const std::vector<std::string>& args) {
    std::string project, graph, out;
    const char* const usage = "usage: vexasim render PROJECT [--graph NAME] [--earlier-contours] -o FILE.svg|FILE.html";
    ChartOptions chart;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--earlier-contours") {
            chart.earlierContours = true;
        } else if ((args[i] == "-o" || args[i] == "--graph") && i + 1 < args.size()) {
            (args[i] == "-o" ? out : graph) = args[i + 1];
            ++i;
        } else if (project.empty() && args[i][0] != '-') {
            project = args[i];
        } else {
            return Fail(usage);
        }
    }
    if (project.empty() || out.empty()) return Fail(usage);
    ProjectFile file;
    std::vector<std::string> errors;
    if (!LoadProjectFile(project, file, errors)) {
        for (const auto& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        return 2;
    }
    for (const auto& w : SharedPathWarnings(file.data)) std::fprintf(stderr, "vexasim: %s\n", w.c_str());
    RunResults results;
    std::string note;
    const bool haveSamples = ResultsBesideProject(project, file, results, note);
    if (!haveSamples) std::fprintf(stderr, "vexasim: %s\n", note.c_str());
    chart.results = haveSamples ? &results : nullptr;
    auto addin = file.addins.find("Tessary.LPTuner");
    if (addin != file.addins.end()) chart.settings = ReadRunSettings(addin->second.settings);
    const bool html = out.size() > 5 && out.compare(out.size() - 5, 5, ".html") == 0;
    for (const auto& g : file.data.graphs) {
        if (g.type != 2 || (!graph.empty() && g.name != graph)) continue;
        RenderStats stats;
        std::string svg = RenderSmithChart(file.data, g, &stats, chart);
        if (html) svg = RenderInteractiveChart(file.data, g, chart);
        for (const auto& p : stats.problems) std::fprintf(stderr, "vexasim: %s\n", p.c_str());
        std::string error;
        if (!WriteFileAtomically(out, svg, error)) return Fail(error, 1);
        std::printf("%s\n", out.c_str());
        return 0;
    }
    return Fail(graph.empty() ? "the project has no graph of type 2" : "no graph of type 2 named \"" + graph + "\"");
}

}  // namespace vexasim
