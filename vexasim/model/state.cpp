#include "vexasim/model/state.h"

#include <algorithm>
#include <new>
#include <unordered_set>
#include <utility>

namespace vexasim::model {

void Fail(HRESULT hr, std::string description) { throw HostError{hr, std::move(description)}; }

const Fault* State::Enter(const std::string& call) {
    calls.push_back(call);
    const Fault* hit = nullptr;
    for (Fault& f : faults) {
        if (f.call != call) continue;
        ++f.seen;
        if (!hit && (f.k == 0 || f.k == f.seen)) hit = &f;
    }
    return hit;
}

void State::AssignIds() {
    std::unordered_set<long> seen;
    std::vector<long*> fresh;
    auto visit = [&](long& id) {
        if (id != 0 && seen.insert(id).second) {
            lastId_ = std::max(lastId_, id);
        } else {
            fresh.push_back(&id);
        }
    };
    for (SchematicData& s : project.schematics) {
        visit(s.id);
        for (ElementData& e : s.elements) {
            visit(e.id);
            for (ParameterData& p : e.parameters) visit(p.id);
        }
    }
    for (GraphData& g : project.graphs) {
        visit(g.id);
        for (MeasurementData& m : g.measurements) visit(m.id);
    }
    for (DataFileData& d : project.dataFiles) visit(d.id);
    for (long* id : fresh) *id = ++lastId_;
}

namespace {
template <class V>
auto* FindId(V& items, long id) {
    auto it = std::find_if(items.begin(), items.end(), [id](const auto& item) { return item.id == id; });
    return it == items.end() ? nullptr : &*it;
}
}  // namespace

SchematicData& State::Schematic(long id) {
    if (auto* s = FindId(project.schematics, id)) return *s;
    Fail(E_FAIL, "The schematic no longer exists");
}

ElementData& State::Element(long schematic, long id) {
    if (auto* e = FindId(Schematic(schematic).elements, id)) return *e;
    Fail(E_FAIL, "The element no longer exists");
}

ParameterData& State::Parameter(const ParameterPath& path) {
    if (auto* p = FindId(Element(path.schematic, path.element).parameters, path.parameter)) return *p;
    Fail(E_FAIL, "The parameter no longer exists");
}

GraphData& State::Graph(long id) {
    if (auto* g = FindId(project.graphs, id)) return *g;
    Fail(E_FAIL, "The graph no longer exists");
}

MeasurementData& State::Measurement(long graph, long id) {
    if (auto* m = FindId(Graph(graph).measurements, id)) return *m;
    Fail(E_FAIL, "The measurement no longer exists");
}

DataFileData& State::DataFile(long id) {
    if (auto* d = FindId(project.dataFiles, id)) return *d;
    Fail(E_FAIL, "The data file no longer exists");
}

ParameterData* State::BoundParameter(const std::string& variable) {
    auto it = project.variables.find(variable);
    ParameterPath path;
    if (it == project.variables.end() || !ParsePath(it->second, path)) return nullptr;
    try {
        return &Parameter(path);
    } catch (const HostError&) {
        return nullptr;
    }
}

BSTR NewBstr(const std::string& text) {
    if (text.empty()) {
        BSTR b = SysAllocString(OLESTR(""));
        if (!b) throw std::bad_alloc();
        return b;
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) Fail(E_INVALIDARG, "The text is not valid UTF-8");
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!b) throw std::bad_alloc();
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), b, n);
    return b;
}

namespace {
std::string Narrow(const OLECHAR* text, int length) {
    if (!text || length <= 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) Fail(E_INVALIDARG, "The text cannot be converted to UTF-8");
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}
}  // namespace

std::string Utf8(BSTR text) { return Narrow(text, static_cast<int>(SysStringLen(text))); }

std::string Utf8(const OLECHAR* text) {
    int n = 0;
    if (text)
        while (text[n]) ++n;
    return Narrow(text, n);
}

Index ReadIndex(const VARIANT& index, const char* collection) {
    Index r;
    switch (V_VT(&index)) {
        case VT_I4: r.number = V_I4(&index); break;
        case VT_I2: r.number = index.iVal; break;
        case VT_INT: r.number = V_INT(&index); break;
        case VT_BSTR:
            r.byName = true;
            r.name = Utf8(V_BSTR(&index));
            break;
        default:
            Fail(E_INVALIDARG, std::string(collection) + ": the index must be a number or a name");
    }
    return r;
}

size_t Position(long index, size_t count, const char* collection) {
    if (index < 1 || static_cast<unsigned long>(index) > count) {
        Fail(E_INVALIDARG, std::string(collection) + ": index " + std::to_string(index) +
                               " is out of range (the collection holds " + std::to_string(count) +
                               (count == 1 ? " item)" : " items)"));
    }
    return static_cast<size_t>(index - 1);
}

std::string PathText(const ParameterPath& path) {
    return std::to_string(path.schematic) + "/" + std::to_string(path.element) + "/" +
           std::to_string(path.parameter);
}

bool ParsePath(const std::string& text, ParameterPath& path) {
    long parts[3] = {0, 0, 0};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t end = i < 2 ? text.find('/', start) : text.size();
        if (end == std::string::npos || end == start) return false;
        try {
            size_t used = 0;
            parts[i] = std::stol(text.substr(start, end - start), &used);
            if (used != end - start) return false;
        } catch (const std::exception&) {
            return false;
        }
        start = end + 1;
    }
    path = ParameterPath{parts[0], parts[1], parts[2]};
    return true;
}

}  // namespace vexasim::model
