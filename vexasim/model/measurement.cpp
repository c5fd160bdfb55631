// Measurements of a graph and their data.
#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"

namespace vexasim::model {

namespace {

// The result type of a new measurement, from what its source names: a schematic's
// measurement is a real result of the analysis (1); a data file's is a plot of the
// file, neither real nor complex (3, as the project loader gives a contour); any
// other source holds values the caller supplies, complex (2). SetSize changes it.
long NewResultType(const ProjectData& project, const std::string& source) {
    for (const SchematicData& s : project.schematics)
        if (s.name == source) return 1;
    for (const DataFileData& d : project.dataFiles)
        if (d.name == source) return 3;
    return 2;
}

class Measurements final : public Object<IVexaMeasurements> {
public:
    Measurements(const StatePtr& state, long graph) : Object(state, IID_IVexaMeasurements), graph_(graph) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Measurements.Count", count, [&] {
            *count = static_cast<LONG>(state().Graph(graph_).measurements.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaMeasurement** out) override {
        return Guard("Measurements.Item", out, [&] {
            auto& ms = state().Graph(graph_).measurements;
            const Index i = ReadIndex(index, "Measurements.Item");
            if (i.byName) Fail(E_INVALIDARG, "Measurements.Item: measurements are indexed by number");
            *out = NewMeasurement(shared(), graph_, ms[Position(i.number, ms.size(), "Measurements.Item")].id);
            return S_OK;
        });
    }
    // The new measurement's trace comes last.
    STDMETHODIMP Add(BSTR source, BSTR name, IVexaMeasurement** out) override {
        return Guard("Measurements.Add", out, [&] {
            MeasurementData m;
            m.source = Utf8(source);
            m.name = Utf8(name);
            m.resultType = NewResultType(state().project, m.source);
            auto& ms = state().Graph(graph_).measurements;
            ms.push_back(std::move(m));
            state().AssignIds();
            *out = NewMeasurement(shared(), graph_, ms.back().id);
            return S_OK;
        });
    }
    STDMETHODIMP RemoveAll() override {
        return Guard("Measurements.RemoveAll", [&] {
            state().Graph(graph_).measurements.clear();
            return S_OK;
        });
    }

private:
    long graph_;
};

class Measurement final : public Object<IVexaMeasurement> {
public:
    Measurement(const StatePtr& state, long graph, long id)
        : Object(state, IID_IVexaMeasurement), graph_(graph), id_(id) {}

    STDMETHODIMP get_Source(BSTR* source) override {
        return Guard("Measurement.Source", source, [&] { return PutText(source, Data().source); });
    }
    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Measurement.Name", name, [&] { return PutText(name, Data().name); });
    }
    STDMETHODIMP get_ResultType(LONG* type) override {
        return Guard("Measurement.ResultType", type, [&] {
            *type = Data().resultType;
            return S_OK;
        });
    }
    STDMETHODIMP get_PointCount(LONG* count) override {
        return Guard("Measurement.PointCount", count, [&] {
            *count = static_cast<LONG>(Data().points.size());
            return S_OK;
        });
    }
    STDMETHODIMP get_Value(LONG point, LONG column, double* value) override {
        return Guard("Measurement.Value", value, [&] {
            *value = Cell(Data(), point, column, "Measurement.Value");
            return S_OK;
        });
    }
    STDMETHODIMP put_Value(LONG point, LONG column, double value) override {
        return Guard("Measurement.put_Value", [&] {
            Cell(Data(), point, column, "Measurement.put_Value") = value;
            return S_OK;
        });
    }
    STDMETHODIMP put_XValue(LONG point, double value) override {
        return Guard("Measurement.put_XValue", [&] {
            MeasurementData& m = Data();
            m.xValues.resize(m.points.size());
            m.xValues[Position(point, m.points.size(), "Measurement.put_XValue")] = value;
            return S_OK;
        });
    }
    // Columns: 1 real values, 2 complex values; the result type follows.
    STDMETHODIMP SetSize(LONG points, LONG columns) override {
        return Guard("Measurement.SetSize", [&] {
            MeasurementData& m = Data();
            if (points < 0) Fail(E_INVALIDARG, "Measurement.SetSize: the point count cannot be negative");
            if (columns != 1 && columns != 2) Fail(E_INVALIDARG, "Measurement.SetSize: columns must be 1 or 2");
            m.points.resize(static_cast<size_t>(points));
            m.xValues.resize(static_cast<size_t>(points));
            m.resultType = columns;
            return S_OK;
        });
    }
    STDMETHODIMP put_DataFormat(LONG format) override {
        return Guard("Measurement.put_DataFormat", [&] {
            Data().dataFormat = format;
            return S_OK;
        });
    }
    // Axis 1 is the sweep (point number), which carries no unit; axis 2 the values.
    STDMETHODIMP get_UnitType(LONG axis, LONG* unitType) override {
        return Guard("Measurement.UnitType", unitType, [&] {
            const MeasurementData& m = Data();
            if (axis != 1 && axis != 2) Fail(E_INVALIDARG, "Measurement.UnitType: the axis must be 1 or 2");
            *unitType = axis == 2 ? m.unitType : 0;
            return S_OK;
        });
    }

private:
    MeasurementData& Data() { return state().Measurement(graph_, id_); }

    static double& Cell(MeasurementData& m, LONG point, LONG column, const char* call) {
        auto& p = m.points[Position(point, m.points.size(), call)];
        if (column != 1 && column != 2)
            Fail(E_INVALIDARG, std::string(call) + ": column " + std::to_string(column) + " is out of range (1 or 2)");
        return column == 1 ? p.first : p.second;
    }

    long graph_;
    long id_;
};

}  // namespace

IVexaMeasurements* NewMeasurements(const StatePtr& state, long graph) { return new Measurements(state, graph); }
IVexaMeasurement* NewMeasurement(const StatePtr& state, long graph, long measurement) {
    return new Measurement(state, graph, measurement);
}

}  // namespace vexasim::model
