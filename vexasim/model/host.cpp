// The test-facing side of the stand-in host: the Host that owns the application
// object, and the project builder.
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "vexasim/host.h"
#include "vexasim/model/objects.h"
#include "vexasim/model/state.h"

namespace vexasim {

using model::Fault;
using model::FaultKind;

struct Host::Impl {
    model::StatePtr state = std::make_shared<model::State>();
    // The host's own reference, which is not one handed out.
    IVexaApplication* application = nullptr;
};

Host::Host() : impl_(std::make_unique<Impl>()) {
    impl_->application = model::NewApplication(impl_->state);
    --impl_->state->externalReferences;
}

// Objects still referenced keep the shared state; they answer E_FAIL from now on
// and can still be released.
Host::~Host() {
    impl_->state->hostOpen = false;
    ++impl_->state->externalReferences;
    impl_->application->Release();
}

ProjectData& Host::project() { return impl_->state->project; }

void Host::AssignIds() { impl_->state->AssignIds(); }

ParameterData* Host::BoundParameter(const std::string& variable) { return impl_->state->BoundParameter(variable); }

std::string Host::ActiveWindow() const {
    const model::State& s = *impl_->state;
    for (const GraphData& g : s.project.graphs)
        if (g.id == s.activeGraph && g.hasWindow) return g.name;
    return std::string();
}

IVexaApplication* Host::Application() { return impl_->application; }

host::ComPtr<IDispatch> Host::ApplicationDispatch() { return host::ComPtr<IDispatch>(impl_->application); }

void Host::SetMainWindowHandle(LONG handle) { impl_->state->mainWindowHandle = handle; }

void Host::SetTypeInfoVersion(WORD major, WORD minor) {
    impl_->state->typeMajor = major;
    impl_->state->typeMinor = minor;
}

void Host::SetTypeInfoAvailable(bool available) { impl_->state->typeInfoAvailable = available; }

namespace {
void CheckFault(const std::string& call, int k) {
    if (!Host::IsMember(call)) throw std::invalid_argument("no host member is called \"" + call + "\"");
    if (k < 0) throw std::invalid_argument("a fault is for call 1 on, or for every call (0)");
}
}  // namespace

void Host::InjectFailure(const std::string& call, int k, HRESULT hr, const std::string& description) {
    CheckFault(call, k);
    Fault f;
    f.call = call;
    f.k = k;
    f.kind = FaultKind::Failure;
    f.hr = hr;
    f.description = description;
    impl_->state->faults.push_back(std::move(f));
}

void Host::InjectStop(const std::string& call, int k) {
    CheckFault(call, k);
    Fault f;
    f.call = call;
    f.k = k;
    f.kind = FaultKind::Stop;
    impl_->state->faults.push_back(std::move(f));
}

void Host::InjectNull(const std::string& call, int k) {
    CheckFault(call, k);
    Fault f;
    f.call = call;
    f.k = k;
    f.kind = FaultKind::Null;
    impl_->state->faults.push_back(std::move(f));
}

void Host::ClearFaults() { impl_->state->faults.clear(); }

const std::vector<std::string>& Host::Calls() const { return impl_->state->calls; }

int Host::CallCount(const std::string& call) const {
    const auto& calls = impl_->state->calls;
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

void Host::ClearCalls() { impl_->state->calls.clear(); }

long Host::ExternalReferences() const { return impl_->state->externalReferences; }

long Host::LiveObjects() const { return impl_->state->liveObjects; }

void Host::SetEvaluator(Evaluator evaluator) { impl_->state->evaluator = std::move(evaluator); }

void Host::SetAnalyzeObserver(std::function<void(long, long)> observer) {
    impl_->state->analyzeObserver = std::move(observer);
}

const std::vector<AnalysisRecord>& Host::Analyses() const { return impl_->state->analyses; }

int Host::AnalyzeCount() const { return impl_->state->analyzeCount; }

// ---- ProjectBuilder ----

namespace {
template <class V>
auto& Last(V& items, const char* what) {
    if (items.empty()) throw std::logic_error(std::string("ProjectBuilder: no ") + what + " to add to");
    return items.back();
}
}  // namespace

ProjectBuilder::ProjectBuilder(Host& host) : host_(host) {}

ProjectBuilder& ProjectBuilder::Schematic(const std::string& name) {
    SchematicData s;
    s.name = name;
    host_.project().schematics.push_back(std::move(s));
    return *this;
}

ProjectBuilder& ProjectBuilder::Element(const std::string& name, std::vector<ParameterData> parameters) {
    ElementData e;
    e.name = name;
    e.parameters = std::move(parameters);
    Last(host_.project().schematics, "schematic").elements.push_back(std::move(e));
    return *this;
}

ProjectBuilder& ProjectBuilder::Graph(const std::string& name, long type) {
    GraphData g;
    g.name = name;
    g.type = type;
    host_.project().graphs.push_back(std::move(g));
    return *this;
}

ProjectBuilder& ProjectBuilder::Measurement(const std::string& source, const std::string& name, long resultType,
                                            long unitType) {
    MeasurementData m;
    m.source = source;
    m.name = name;
    m.resultType = resultType;
    m.unitType = unitType;
    Last(host_.project().graphs, "graph").measurements.push_back(std::move(m));
    return *this;
}

ProjectBuilder& ProjectBuilder::Points(std::vector<std::pair<double, double>> points) {
    MeasurementData& m = Last(Last(host_.project().graphs, "graph").measurements, "measurement");
    m.xValues.clear();
    for (size_t i = 0; i < points.size(); ++i) m.xValues.push_back(static_cast<double>(i + 1));
    m.points = std::move(points);
    m.resultType = 2;
    return *this;
}

ProjectBuilder& ProjectBuilder::DataFile(const std::string& name, const std::string& fileName, long type,
                                         const std::string& text) {
    DataFileData d;
    d.name = name;
    d.fileName = fileName;
    d.type = type;
    d.text = text;
    host_.project().dataFiles.push_back(std::move(d));
    return *this;
}

ProjectBuilder& ProjectBuilder::Units(long unitType, const std::string& name) {
    host_.project().units[unitType] = name;
    return *this;
}

}  // namespace vexasim
