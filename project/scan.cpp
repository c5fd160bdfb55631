// The project scan: which schematics hold a load-pull tuner, which tuners the
// selected schematic holds, which measurements can be contoured, which can supply
// gamma points, and the "Load Pull Points" graph that shows the points.
//
// Every operation catches host errors at its own top (host::Guarded): the host's
// description is shown in the "Tessary" box and its HRESULT returned. A called
// operation has already shown its own box, so its negative result or its 1 is
// simply passed up.
#include <string>
#include <utility>

#include "project/lpsetup.h"

namespace {

// Graphs of this type show gamma points; the points graph is created with it.
constexpr LONG kPointsGraphType = 2;
// A real (not complex) result: only these can be contoured.
constexpr LONG kRealResult = 1;

host::ComPtr<IVexaProject> ProjectOf(const host::ComPtr<IVexaApplication>& application) {
    return host::Get(application, &IVexaApplication::get_Project);
}

// Walks Elements 1..Count in order and hands each tuner element to visit, which
// returns false to end the walk early. Any answer of Elements.Item but S_OK is the
// host's "stop" (1); a failed call throws.
template <class Visit>
long ForEachTuner(IVexaElements* elements, Visit&& visit) {
    const LONG count = host::Get(elements, &IVexaElements::get_Count);
    for (LONG j = 1; j <= count; ++j) {
        auto item = host::GetS(elements, &IVexaElements::Item, host::Index(j));
        if (item.hr != S_OK) return 1;
        if (!item.value) continue;
        host::Bstr name = host::Get(item.value, &IVexaElement::get_Name);
        if (LPSetup::IsTunerName(name.get()) && !visit(item.value.get())) break;
    }
    return 0;
}

// Appends a measurement and its display name so that the two lists stay parallel
// even when growing one of them fails.
void AppendNamed(std::vector<host::ComPtr<IVexaMeasurement>>& measurements, std::vector<host::Bstr>& names,
                 const host::ComPtr<IVexaMeasurement>& measurement, host::Bstr name) {
    measurements.reserve(measurements.size() + 1);
    names.reserve(names.size() + 1);
    measurements.push_back(measurement);
    names.push_back(std::move(name));
}

}  // namespace

long LPSetup::InitializeProject() {
    return host::Guarded([&]() -> long {
        initializing = true;
        host::ComPtr<IVexaProject> project = ProjectOf(application);
        if (host::Call(project, &IVexaProject::Refresh) == S_FALSE) return 1;
        return ScanTunerSchematics();
    });
}

long LPSetup::FinishProjectSetup() {
    return host::Guarded([&]() -> long {
        initializing = false;
        if (long r = RemovePointsGraph()) return r;
        if (long r = CreatePointsGraph()) return r;
        if (long r = ScanTunerSchematics()) return r;
        return ScanGammaSourceMeasurements();
    });
}

long LPSetup::ScanTunerSchematics() {
    return host::Guarded([&]() -> long {
        tunerSchematics.clear();
        tunerSchematicCount = 0;

        host::ComPtr<IVexaProject> project = ProjectOf(application);
        host::ComPtr<IVexaSchematics> schematics = host::Get(project, &IVexaProject::get_Schematics);
        const LONG count = host::Get(schematics, &IVexaSchematics::get_Count);
        for (LONG i = 1; i <= count; ++i) {
            host::ComPtr<IVexaSchematic> schematic = host::Get(schematics, &IVexaSchematics::Item, host::Index(i));
            if (!schematic) continue;
            host::ComPtr<IVexaElements> elements = host::Get(schematic, &IVexaSchematic::get_Elements);
            if (!elements) return E_FAIL;
            bool hasTuner = false;
            long r = ForEachTuner(elements.get(), [&](IVexaElement*) {
                hasTuner = true;
                return false;  // one tuner is enough to list the schematic
            });
            if (r) return r;
            if (hasTuner) {
                tunerSchematics.push_back(schematic);
                tunerSchematicCount = static_cast<long>(tunerSchematics.size());
            }
        }

        // The first phase only lists; the second also makes the first selection.
        if (initializing) return 0;
        if (tunerSchematicCount == 0) {
            selectedSchematic = 0;
            selectedTuner = 0;
            return ScanValidMeasurements();
        }
        return SelectSchematic(0);
    });
}

long LPSetup::SelectSchematic(long index) {
    return host::Guarded([&]() -> long {
        if (index < 0 || index >= tunerSchematicCount) return E_FAIL;
        setupChanged = false;
        if (index == selectedSchematic) return 0;
        selectedSchematic = index;
        if (long r = ScanTuners()) return r;
        if (long r = SelectTuner(0)) return r;
        if (long r = ScanValidMeasurements()) return r;
        setupChanged = true;
        return 0;
    });
}

long LPSetup::ScanTuners() {
    return host::Guarded([&]() -> long {
        if (selectedSchematic < 0 || static_cast<size_t>(selectedSchematic) >= tunerSchematics.size())
            return E_FAIL;
        const host::ComPtr<IVexaSchematic> schematic = tunerSchematics[static_cast<size_t>(selectedSchematic)];
        if (!schematic) return E_FAIL;

        tuners.clear();
        tunerCount = 0;
        // The bound pair belongs to a tuner of the list just emptied; keeping it would
        // let the sweep drive an element that is no longer the selected tuner.
        magParameter.reset();
        angParameter.reset();

        host::ComPtr<IVexaElements> elements = host::Get(schematic, &IVexaSchematic::get_Elements);
        if (!elements) return E_FAIL;
        return ForEachTuner(elements.get(), [&](IVexaElement* element) {
            tuners.emplace_back(element);
            tunerCount = static_cast<long>(tuners.size());
            return true;
        });
    });
}

long LPSetup::ScanValidMeasurements() {
    return host::Guarded([&]() -> long {
        validMeasurements.clear();
        validMeasurementCount = 0;

        host::ComPtr<IVexaProject> project = ProjectOf(application);
        host::ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        if (!graphs) return E_FAIL;

        // Source and name of each listed measurement, read once, in list order.
        std::vector<std::pair<host::Bstr, host::Bstr>> listed;
        const LONG graphCount = host::Get(graphs, &IVexaGraphs::get_Count);
        for (LONG i = 1; i <= graphCount; ++i) {
            host::ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(i));
            if (!graph) continue;
            host::ComPtr<IVexaMeasurements> measurements = host::Get(graph, &IVexaGraph::get_Measurements);
            if (!measurements) continue;
            const LONG count = host::Get(measurements, &IVexaMeasurements::get_Count);
            for (LONG j = 1; j <= count; ++j) {
                host::ComPtr<IVexaMeasurement> measurement =
                    host::Get(measurements, &IVexaMeasurements::Item, host::Index(j));
                if (!measurement) continue;
                if (host::Get(measurement, &IVexaMeasurement::get_ResultType) != kRealResult) continue;
                host::Bstr name = host::Get(measurement, &IVexaMeasurement::get_Name);
                host::Bstr source = host::Get(measurement, &IVexaMeasurement::get_Source);
                bool duplicate = false;
                for (const auto& entry : listed) {
                    if (host::Equal(entry.second.get(), name.get()) && host::Equal(entry.first.get(), source.get())) {
                        duplicate = true;
                        break;
                    }
                }
                if (duplicate) continue;
                listed.reserve(listed.size() + 1);
                validMeasurements.push_back(measurement);
                validMeasurementCount = static_cast<long>(validMeasurements.size());
                listed.emplace_back(std::move(source), std::move(name));
            }
        }
        return 0;
    });
}

long LPSetup::ScanGammaSourceMeasurements() {
    return host::Guarded([&]() -> long {
        host::ComPtr<IVexaProject> project = ProjectOf(application);
        host::ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        if (!graphs) return E_FAIL;

        const LONG graphCount = host::Get(graphs, &IVexaGraphs::get_Count);
        for (LONG i = 1; i <= graphCount; ++i) {
            host::ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(i));
            if (!graph) continue;
            if (host::Get(graph, &IVexaGraph::get_Type) != kPointsGraphType) continue;
            host::ComPtr<IVexaMeasurements> measurements = host::Get(graph, &IVexaGraph::get_Measurements);
            if (!measurements) continue;
            const LONG count = host::Get(measurements, &IVexaMeasurements::get_Count);
            for (LONG j = 1; j <= count; ++j) {
                auto item = host::GetS(measurements, &IVexaMeasurements::Item, host::Index(j));
                if (item.hr != S_OK || !item.value) continue;
                host::Bstr name = host::Get(item.value, &IVexaMeasurement::get_Name);
                std::string ansi;
                if (!host::ToAnsi(name.get(), ansi)) continue;
                const bool measured = ansi.find(lpnames::kMeasuredDataMark) != std::string::npos;
                const bool tabFile = ansi.find(lpnames::kTabDataMark) != std::string::npos;
                // A name carrying both marks is ambiguous and taken as neither.
                if (measured == tabFile) continue;
                host::Bstr display = host::DisplayName(item.value.get());
                if (measured)
                    AppendNamed(gammaMeasurements, gammaMeasurementNames, item.value, std::move(display));
                else
                    AppendNamed(tabFileMeasurements, tabFileMeasurementNames, item.value, std::move(display));
            }
        }
        return 0;
    });
}

long LPSetup::CreatePointsGraph() {
    return host::Guarded([&]() -> long {
        // Never fall back on a graph held from before: it may have left the project.
        pointsGraph.reset();

        host::ComPtr<IVexaProject> project = ProjectOf(application);
        host::ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        if (graphs) {
            const LONG count = host::Get(graphs, &IVexaGraphs::get_Count);
            for (LONG i = 1; i <= count && !pointsGraph; ++i) {
                host::ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(i));
                if (!graph) continue;
                host::Bstr name = host::Get(graph, &IVexaGraph::get_Name);
                if (host::Equal(name.get(), lpnames::kPointsGraph)) pointsGraph = graph;
            }
            if (!pointsGraph) {
                host::Bstr name = host::Str(lpnames::kPointsGraph);
                pointsGraph = host::Get(graphs, &IVexaGraphs::Add, name.get(), kPointsGraphType);
                if (!pointsGraph) return E_FAIL;
            }
        }

        // Without a graph from step 1 these calls raise E_POINTER.
        host::ComPtr<IVexaMeasurements> measurements = host::Get(pointsGraph, &IVexaGraph::get_Measurements);
        if (host::Call(measurements, &IVexaMeasurements::RemoveAll) == S_FALSE) return 1;
        host::ComPtr<IVexaGraphSettings> settings = host::Get(pointsGraph, &IVexaGraph::get_Settings);
        host::Call(settings, &IVexaGraphSettings::put_Mode, LONG(0));
        return 0;
    });
}

long LPSetup::RemovePointsGraph() {
    return host::Guarded([&]() -> long {
        // The graph is about to leave the project; nothing may use it until it is created again.
        pointsGraph.reset();

        host::ComPtr<IVexaProject> project = ProjectOf(application);
        host::ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        if (!graphs) return 0;
        const LONG count = host::Get(graphs, &IVexaGraphs::get_Count);
        for (LONG i = 1; i <= count; ++i) {
            host::ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(i));
            if (!graph) continue;
            host::Bstr name = host::Get(graph, &IVexaGraph::get_Name);
            if (!host::Equal(name.get(), lpnames::kPointsGraph)) continue;
            // Only the first graph of that name goes; the host's answer does not matter.
            static_cast<void>(graphs->Remove(host::Index(i)));
            break;
        }
        return 0;
    });
}

long LPSetup::GetValidMeasurementName(long index, host::Bstr& name) {
    name.reset();
    return host::Guarded([&]() -> long {
        name = host::Str(OLESTR(""));
        if (index < 0 || index >= validMeasurementCount || static_cast<size_t>(index) >= validMeasurements.size())
            return E_FAIL;
        const host::ComPtr<IVexaMeasurement>& measurement = validMeasurements[static_cast<size_t>(index)];
        if (!measurement) return E_FAIL;
        name = host::DisplayName(measurement.get());
        return 0;
    });
}
