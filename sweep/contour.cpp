// Contour output of one selected measurement: its grid values into a project data
// file, and a contour measurement of that file on the contour graph.
#include <string>

#include "host/call.h"
#include "project/lpsetup.h"
#include "sweep/contour_grid.h"
#include "sweep/contour_levels.h"

namespace {

constexpr const char* kGeneratedFilePrefix = "QuindleIsAHack";
constexpr const char* kGeneratedFileSuffix = ".txt";
constexpr LONG kDataFileFlag = -1;
constexpr LONG kDataFileType = 3;
constexpr LONG kContourGraphType = 2;

bool InRange(long i, std::size_t size) { return i >= 0 && static_cast<std::size_t>(i) < size; }

// The first graph named name, or null.
host::ComPtr<IVexaGraph> FindGraph(IVexaGraphs* graphs, const OLECHAR* name) {
    const LONG count = host::Get(graphs, &IVexaGraphs::get_Count);
    for (LONG k = 1; k <= count; ++k) {
        host::ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(k));
        if (graph && host::Equal(host::Get(graph, &IVexaGraph::get_Name).get(), name)) return graph;
    }
    return nullptr;
}

// The first measurement with this name and source, or null.
host::ComPtr<IVexaMeasurement> FindMeasurement(IVexaMeasurements* measurements, BSTR name, BSTR source) {
    const LONG count = host::Get(measurements, &IVexaMeasurements::get_Count);
    for (LONG k = 1; k <= count; ++k) {
        host::ComPtr<IVexaMeasurement> m = host::Get(measurements, &IVexaMeasurements::Item, host::Index(k));
        if (!m) continue;
        const host::Bstr mName = host::Get(m, &IVexaMeasurement::get_Name);
        const host::Bstr mSource = host::Get(m, &IVexaMeasurement::get_Source);
        if (host::Equal(mName.get(), name) && host::Equal(mSource.get(), source)) return m;
    }
    return nullptr;
}

}  // namespace

long LPSetup::WriteContourData(long i, InterpolatorHolder& holder, IVexaDataFiles* dataFiles, long dataFileCount,
                               GridOutcome& outcome) {
    outcome = GridOutcome::Varied;
    if (!InRange(i, selectedMeasurementFileNames.size())) return E_FAIL;
    const BSTR fileName = selectedMeasurementFileNames[static_cast<std::size_t>(i)].get();
    host::Need(dataFiles);

    // A spline that could not be fitted (samples on one line, a reading that is not a
    // number) gives no number anywhere. That is decided before the data file is
    // touched: a data file of an earlier run, which its contour measurements still
    // show, keeps its text.
    const std::vector<double> values = contour::Evaluate(holder);
    if (!contour::AllNumbers(values)) {
        outcome = GridOutcome::Unfitted;
        return 0;
    }
    if (contour::IsConstant(values)) outcome = GridOutcome::Constant;

    // Only the files that existed before the first measurement of this run are
    // searched: the caller read the count once.
    host::ComPtr<IVexaDataFile> file;
    for (long k = 1; k <= dataFileCount && !file; ++k) {
        host::ComPtr<IVexaDataFile> item;
        try {
            auto r = host::GetS(dataFiles, &IVexaDataFiles::Item, host::Index(k));
            if (r.stopped()) return 1;
            item = std::move(r.value);
        } catch (const _com_error& e) {
            // The sweep ends with this HRESULT; Run tells the user that it failed.
            return e.Error();
        }
        if (item && host::Equal(host::Get(item, &IVexaDataFile::get_Name).get(), fileName)) file = std::move(item);
    }
    if (!file) {
        const std::string generated = kGeneratedFilePrefix + std::to_string(i) + kGeneratedFileSuffix;
        file = host::Get(dataFiles, &IVexaDataFiles::Add, fileName, host::FromAnsi(generated).get(), kDataFileFlag,
                         kDataFileType);
    }

    const host::Bstr text = host::FromAnsi(contour::Text(values));
    // A host that returned no data file from Add fails here with E_POINTER.
    host::Call(file, &IVexaDataFile::put_Text, text.get());
    return 0;
}

long LPSetup::UpdateContourGraph(const double& minimum, const double& maximum, const long& i) {
    return host::Guarded([&]() -> long {
        if (!InRange(i, selectedMeasurementFileNames.size())) return E_FAIL;
        const BSTR fileName = selectedMeasurementFileNames[static_cast<std::size_t>(i)].get();

        host::ComPtr<IVexaProject> project = host::Get(application, &IVexaApplication::get_Project);
        host::ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        host::ComPtr<IVexaGraph> graph;
        if (graphs) graph = FindGraph(graphs.get(), lpnames::kContourGraph);
        if (!graph) {
            // Without a graph collection this raises E_POINTER.
            graph = host::Get(graphs, &IVexaGraphs::Add, host::Str(lpnames::kContourGraph).get(), kContourGraphType);
            if (!graph) return E_FAIL;
        }

        // The gamma points and the marker are of no use once contours are drawn.
        host::ComPtr<IVexaMeasurements> points = host::Get(pointsGraph, &IVexaGraph::get_Measurements);
        if (host::Call(points, &IVexaMeasurements::RemoveAll) == S_FALSE) return 1;

        const host::Bstr name = host::FromAnsi(contour::MeasurementName(contour::ComputeLevels(minimum, maximum)));
        host::ComPtr<IVexaMeasurements> measurements = host::Get(graph, &IVexaGraph::get_Measurements);
        host::ComPtr<IVexaMeasurement> measurement = FindMeasurement(measurements.get(), name.get(), fileName);
        if (!measurement) {
            measurement = host::Get(measurements, &IVexaMeasurements::Add, fileName, name.get());
            if (!measurement) return E_FAIL;
        }

        // The host puts the trace of the measurement added last at the end; a
        // measurement that was found is styled the same way.
        host::ComPtr<IVexaTraces> traces = host::Get(graph, &IVexaGraph::get_Traces);
        if (!traces) return E_FAIL;
        const LONG last = host::Get(traces, &IVexaTraces::get_Count);
        host::ComPtr<IVexaTrace> trace = host::Get(traces, &IVexaTraces::Item, host::Index(last));
        if (!trace) return E_FAIL;
        host::Call(trace, &IVexaTrace::put_LineVisible, VARIANT_TRUE);
        host::Call(trace, &IVexaTrace::put_SymbolsVisible, VARIANT_FALSE);
        return 0;
    });
}
