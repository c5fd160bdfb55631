// The project, its units and its simulator.
#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"
#include "vexasim/model/tuner.h"

namespace vexasim::model {

namespace {

class Project final : public Object<IVexaProject> {
public:
    explicit Project(const StatePtr& state) : Object(state, IID_IVexaProject) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Project.Name", name, [&] { return PutText(name, state().project.name); });
    }
    STDMETHODIMP get_Schematics(IVexaSchematics** out) override {
        return Guard("Project.Schematics", out, [&] {
            *out = NewSchematics(shared());
            return S_OK;
        });
    }
    STDMETHODIMP get_Graphs(IVexaGraphs** out) override {
        return Guard("Project.Graphs", out, [&] {
            *out = NewGraphs(shared());
            return S_OK;
        });
    }
    STDMETHODIMP get_DataFiles(IVexaDataFiles** out) override {
        return Guard("Project.DataFiles", out, [&] {
            *out = NewDataFiles(shared());
            return S_OK;
        });
    }
    STDMETHODIMP get_Units(IVexaUnits** out) override {
        return Guard("Project.Units", out, [&] {
            *out = NewUnits(shared());
            return S_OK;
        });
    }
    STDMETHODIMP get_Simulator(IVexaSimulator** out) override {
        return Guard("Project.Simulator", out, [&] {
            *out = NewSimulator(shared());
            return S_OK;
        });
    }
    // The in-memory project is always up to date; every call already gives new
    // items their ids, so there is nothing left to refresh.
    STDMETHODIMP Refresh() override {
        return Guard("Project.Refresh", [] { return S_OK; });
    }
};

class Units final : public Object<IVexaUnits> {
public:
    explicit Units(const StatePtr& state) : Object(state, IID_IVexaUnits) {}

    // Every unit type has a unit; a type the project names no unit for answers a
    // unit with an empty name, which matches no unit name a caller looks for.
    STDMETHODIMP Item(VARIANT unitType, IVexaUnit** unit) override {
        return Guard("Units.Item", unit, [&] {
            const Index i = ReadIndex(unitType, "Units.Item");
            if (i.byName) Fail(E_INVALIDARG, "Units.Item: the index must be a unit type code");
            *unit = NewUnit(shared(), i.number);
            return S_OK;
        });
    }
};

class Unit final : public Object<IVexaUnit> {
public:
    Unit(const StatePtr& state, long unitType) : Object(state, IID_IVexaUnit), unitType_(unitType) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Unit.Name", name, [&] {
            const auto& units = state().project.units;
            auto it = units.find(unitType_);
            return PutText(name, it == units.end() ? std::string() : it->second);
        });
    }

private:
    long unitType_;
};

class Simulator final : public Object<IVexaSimulator> {
public:
    explicit Simulator(const StatePtr& state) : Object(state, IID_IVexaSimulator) {}

    // Binds the name to the parameter by the parameter's ids; no reference to the
    // object is kept, so the binding outlives it and shows as no leak.
    STDMETHODIMP AddVariable(BSTR name, VARIANT parameter) override {
        return Guard("Simulator.AddVariable", [&] {
            const std::string variable = Utf8(name);
            if (variable.empty()) Fail(E_INVALIDARG, "Simulator.AddVariable: a variable needs a name");
            if (V_VT(&parameter) != VT_DISPATCH || !V_DISPATCH(&parameter))
                Fail(E_INVALIDARG, "Simulator.AddVariable: the variable must be bound to a parameter");
            IUnknown* identity = nullptr;
            if (FAILED(V_DISPATCH(&parameter)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
                Fail(E_INVALIDARG, "Simulator.AddVariable: the variable must be bound to a parameter");
            auto it = state().parameterObjects.find(identity);
            const bool found = it != state().parameterObjects.end();
            const ParameterPath path = found ? it->second : ParameterPath{};
            identity->Release();
            if (!found) Fail(E_INVALIDARG, "Simulator.AddVariable: the variable must be bound to a parameter");
            state().Parameter(path);  // a removed parameter cannot be bound
            state().project.variables[variable] = PathText(path);
            return S_OK;
        });
    }
    STDMETHODIMP SetVariable(BSTR name, double value) override {
        return Guard("Simulator.SetVariable", [&] {
            const std::string variable = Utf8(name);
            auto it = state().project.variables.find(variable);
            ParameterPath path;
            if (it == state().project.variables.end() || !ParsePath(it->second, path))
                Fail(E_INVALIDARG, "Simulator.SetVariable: no variable named \"" + variable + "\"");
            ParameterData& parameter = state().Parameter(path);
            parameter.value = value;
            if (int harmonic = TunerHarmonic(state().Element(path.schematic, path.element), parameter.name))
                state().tunersSet[{path.schematic, path.element}] = harmonic;
            return S_OK;
        });
    }
    // The two arguments select what the real simulator re-runs; here every analysis
    // evaluates all it can.
    STDMETHODIMP Analyze(LONG first, LONG second) override {
        return Guard("Simulator.Analyze", [&] {
            model::Analyze(state());
            RecordAnalysis(state(), first, second);
            if (state().analyzeObserver) state().analyzeObserver(first, second);
            return S_OK;
        });
    }
};

}  // namespace

void Analyze(State& state) {
    ++state.analyzeCount;
    if (!state.evaluator) return;
    ProjectData& project = state.project;
    auto namesSchematic = [&](const std::string& source) {
        for (const SchematicData& s : project.schematics)
            if (s.name == source) return true;
        return false;
    };
    for (GraphData& g : project.graphs) {
        for (MeasurementData& m : g.measurements) {
            if (m.resultType != 1 || !namesSchematic(m.source)) continue;
            double value = 0.0;
            try {
                value = state.evaluator(project, m);
            } catch (const AnalysisError& e) {
                Fail(E_FAIL, e.what());
            }
            if (m.points.empty()) {
                m.points.resize(1);
                m.xValues.resize(1, 1.0);
            }
            m.points[0].first = value;
        }
    }
}

IVexaProject* NewProject(const StatePtr& state) { return new Project(state); }
IVexaUnits* NewUnits(const StatePtr& state) { return new Units(state); }
IVexaUnit* NewUnit(const StatePtr& state, long unitType) { return new Unit(state, unitType); }
IVexaSimulator* NewSimulator(const StatePtr& state) { return new Simulator(state); }

void RecordAnalysis(State& state, long first, long second) {
    AnalysisRecord record;
    record.first = first;
    record.second = second;
    for (const auto& set : state.tunersSet) {
        try {
            const ElementData& element = state.Element(set.first.first, set.first.second);
            TunerSetting setting;
            setting.schematic = state.Schematic(set.first.first).name;
            setting.element = element.name;
            setting.harmonic = set.second;
            HarmonicSetting(element, setting.harmonic, setting.magnitude, setting.angle);
            record.tuners.push_back(std::move(setting));
        } catch (const HostError&) {
            // removed since it was set: it presents nothing
        }
    }
    state.tunersSet.clear();
    state.analyses.push_back(std::move(record));
}

}  // namespace vexasim::model
