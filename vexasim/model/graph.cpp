// Graphs, their settings and their traces (one per measurement, in measurement order).
#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"

namespace vexasim::model {

namespace {

class Graphs final : public Object<IVexaGraphs> {
public:
    explicit Graphs(const StatePtr& state) : Object(state, IID_IVexaGraphs) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Graphs.Count", count, [&] {
            *count = static_cast<LONG>(state().project.graphs.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaGraph** out) override {
        return Guard("Graphs.Item", out, [&] {
            const long at = Find(index, "Graphs.Item");
            if (at >= 0) *out = NewGraph(shared(), state().project.graphs[static_cast<size_t>(at)].id);
            return S_OK;
        });
    }
    // A new graph opens in its own window.
    STDMETHODIMP Add(BSTR name, LONG type, IVexaGraph** out) override {
        return Guard("Graphs.Add", out, [&] {
            GraphData g;
            g.name = Utf8(name);
            g.type = type;
            g.hasWindow = true;
            state().project.graphs.push_back(std::move(g));
            state().AssignIds();
            *out = NewGraph(shared(), state().project.graphs.back().id);
            return S_OK;
        });
    }
    STDMETHODIMP Remove(VARIANT index) override {
        return Guard("Graphs.Remove", [&] {
            const long at = Find(index, "Graphs.Remove");
            if (at < 0) Fail(E_INVALIDARG, "Graphs.Remove: no graph named \"" + Utf8(V_BSTR(&index)) + "\"");
            auto& graphs = state().project.graphs;
            graphs.erase(graphs.begin() + at);
            return S_OK;
        });
    }

private:
    // The 0-based position of the graph an index names; -1 for a name no graph has.
    long Find(const VARIANT& index, const char* call) {
        const auto& graphs = state().project.graphs;
        const Index i = ReadIndex(index, call);
        if (!i.byName) return static_cast<long>(Position(i.number, graphs.size(), call));
        for (size_t k = 0; k < graphs.size(); ++k)
            if (graphs[k].name == i.name) return static_cast<long>(k);
        return -1;
    }
};

class Graph final : public Object<IVexaGraph> {
public:
    Graph(const StatePtr& state, long id) : Object(state, IID_IVexaGraph), id_(id) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Graph.Name", name, [&] { return PutText(name, state().Graph(id_).name); });
    }
    STDMETHODIMP get_Type(LONG* type) override {
        return Guard("Graph.Type", type, [&] {
            *type = state().Graph(id_).type;
            return S_OK;
        });
    }
    STDMETHODIMP get_Measurements(IVexaMeasurements** out) override {
        return Guard("Graph.Measurements", out, [&] {
            state().Graph(id_);
            *out = NewMeasurements(shared(), id_);
            return S_OK;
        });
    }
    STDMETHODIMP get_Traces(IVexaTraces** out) override {
        return Guard("Graph.Traces", out, [&] {
            state().Graph(id_);
            *out = NewTraces(shared(), id_);
            return S_OK;
        });
    }
    STDMETHODIMP get_Settings(IVexaGraphSettings** out) override {
        return Guard("Graph.Settings", out, [&] {
            state().Graph(id_);
            *out = NewGraphSettings(shared(), id_);
            return S_OK;
        });
    }

private:
    long id_;
};

class GraphSettings final : public Object<IVexaGraphSettings> {
public:
    GraphSettings(const StatePtr& state, long graph) : Object(state, IID_IVexaGraphSettings), graph_(graph) {}

    STDMETHODIMP get_Mode(LONG* mode) override {
        return Guard("GraphSettings.Mode", mode, [&] {
            *mode = state().Graph(graph_).settingsMode;
            return S_OK;
        });
    }
    STDMETHODIMP put_Mode(LONG mode) override {
        return Guard("GraphSettings.put_Mode", [&] {
            state().Graph(graph_).settingsMode = mode;
            return S_OK;
        });
    }

private:
    long graph_;
};

class Traces final : public Object<IVexaTraces> {
public:
    Traces(const StatePtr& state, long graph) : Object(state, IID_IVexaTraces), graph_(graph) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Traces.Count", count, [&] {
            *count = static_cast<LONG>(state().Graph(graph_).measurements.size());
            return S_OK;
        });
    }
    // Trace n is the trace of measurement n.
    STDMETHODIMP Item(VARIANT index, IVexaTrace** out) override {
        return Guard("Traces.Item", out, [&] {
            auto& ms = state().Graph(graph_).measurements;
            const Index i = ReadIndex(index, "Traces.Item");
            if (i.byName) Fail(E_INVALIDARG, "Traces.Item: traces are indexed by number");
            *out = NewTrace(shared(), graph_, ms[Position(i.number, ms.size(), "Traces.Item")].id);
            return S_OK;
        });
    }

private:
    long graph_;
};

class Trace final : public Object<IVexaTrace> {
public:
    Trace(const StatePtr& state, long graph, long measurement)
        : Object(state, IID_IVexaTrace), graph_(graph), measurement_(measurement) {}

    STDMETHODIMP put_LineVisible(VARIANT_BOOL visible) override {
        return Set("Trace.put_LineVisible", [&](TraceData& t) { t.lineVisible = visible != VARIANT_FALSE; });
    }
    STDMETHODIMP put_SymbolsVisible(VARIANT_BOOL visible) override {
        return Set("Trace.put_SymbolsVisible", [&](TraceData& t) { t.symbolsVisible = visible != VARIANT_FALSE; });
    }
    STDMETHODIMP put_Color(LONG color) override {
        return Set("Trace.put_Color", [&](TraceData& t) { t.color = color; });
    }
    STDMETHODIMP put_SymbolSize(LONG size) override {
        return Set("Trace.put_SymbolSize", [&](TraceData& t) { t.symbolSize = size; });
    }
    STDMETHODIMP put_SymbolStyle(LONG style) override {
        return Set("Trace.put_SymbolStyle", [&](TraceData& t) { t.symbolStyle = style; });
    }
    STDMETHODIMP put_LineWidth(LONG width) override {
        return Set("Trace.put_LineWidth", [&](TraceData& t) { t.lineWidth = width; });
    }

private:
    template <class F>
    HRESULT Set(const char* call, F&& change) {
        return Guard(call, [&] {
            change(state().Measurement(graph_, measurement_).trace);
            return S_OK;
        });
    }

    long graph_;
    long measurement_;
};

}  // namespace

IVexaGraphs* NewGraphs(const StatePtr& state) { return new Graphs(state); }
IVexaGraph* NewGraph(const StatePtr& state, long graph) { return new Graph(state, graph); }
IVexaGraphSettings* NewGraphSettings(const StatePtr& state, long graph) { return new GraphSettings(state, graph); }
IVexaTraces* NewTraces(const StatePtr& state, long graph) { return new Traces(state, graph); }
IVexaTrace* NewTrace(const StatePtr& state, long graph, long measurement) {
    return new Trace(state, graph, measurement);
}

}  // namespace vexasim::model
