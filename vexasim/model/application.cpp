// The application, its windows (one per graph that has one) and the type
// information the wizard reads the host's version from.
#include <memory>

#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"

namespace vexasim::model {

void SetError(REFIID iid, const std::string& description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)) || !create) return;
    BSTR text = nullptr;
    try {
        text = NewBstr(description);
    } catch (...) {
    }
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(OLESTR("vexasim")));
    create->SetDescription(text);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    SysFreeString(text);
}

namespace {

class TypeInfo final : public Unknown<ITypeInfo> {
public:
    explicit TypeInfo(const StatePtr& state) : Unknown(state, IID_ITypeInfo) {}

    // The attributes are the caller's until ReleaseTypeAttr; until then they count
    // as a reference handed out, so a forgotten ReleaseTypeAttr shows as a leak.
    STDMETHODIMP GetTypeAttr(TYPEATTR** out) override {
        return Guard("TypeInfo.GetTypeAttr", out, [&] {
            auto attr = std::make_unique<TYPEATTR>();
            attr->guid = IID_IVexaApplication;
            attr->memidConstructor = MEMBERID_NIL;
            attr->memidDestructor = MEMBERID_NIL;
            attr->typekind = TKIND_DISPATCH;
            attr->cbSizeVft = static_cast<WORD>(7 * sizeof(void*));
            attr->cbAlignment = static_cast<WORD>(alignof(void*));
            attr->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
            attr->wMajorVerNum = state().typeMajor;
            attr->wMinorVerNum = state().typeMinor;
            ++state().externalReferences;
            *out = attr.release();
            return S_OK;
        });
    }
    STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* attr) override {
        if (!attr) return;
        --state().externalReferences;
        delete attr;
    }
    STDMETHODIMP GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDocumentation(MEMBERID, BSTR* name, BSTR* doc, DWORD* context, BSTR* helpFile) override {
        if (name) *name = nullptr;
        if (doc) *doc = nullptr;
        if (context) *context = 0;
        if (helpFile) *helpFile = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
        if (lib) *lib = nullptr;
        if (index) *index = 0;
        return E_NOTIMPL;
    }

    // The rest of ITypeInfo: the host describes only its version.
    STDMETHODIMP GetTypeComp(ITypeComp** pp) override { return Refuse(pp); }
    STDMETHODIMP GetFuncDesc(UINT, FUNCDESC** pp) override { return Refuse(pp); }
    STDMETHODIMP GetVarDesc(UINT, VARDESC** pp) override { return Refuse(pp); }
    STDMETHODIMP GetNames(MEMBERID, BSTR*, UINT, UINT* pcNames) override {
        if (pcNames) *pcNames = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetRefTypeOfImplType(UINT, HREFTYPE* p) override {
        if (p) *p = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetImplTypeFlags(UINT, INT* p) override {
        if (p) *p = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR* dll, BSTR* name, WORD* ordinal) override {
        if (dll) *dll = nullptr;
        if (name) *name = nullptr;
        if (ordinal) *ordinal = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetRefTypeInfo(HREFTYPE, ITypeInfo** pp) override { return Refuse(pp); }
    STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, void** pp) override { return Refuse(pp); }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void** pp) override { return Refuse(pp); }
    STDMETHODIMP GetMops(MEMBERID, BSTR* p) override { return Refuse(p); }
    STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC*) override {}
    STDMETHODIMP_(void) ReleaseVarDesc(VARDESC*) override {}

private:
    template <class T>
    static HRESULT Refuse(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
};

class Application final : public Object<IVexaApplication> {
public:
    explicit Application(const StatePtr& state) : Object(state, IID_IVexaApplication) {}

    STDMETHODIMP get_MainWindowHandle(LONG* handle) override {
        return Guard("Application.MainWindowHandle", handle, [&] {
            *handle = state().mainWindowHandle;
            return S_OK;
        });
    }
    STDMETHODIMP get_Project(IVexaProject** project) override {
        return Guard("Application.Project", project, [&] {
            *project = NewProject(shared());
            return S_OK;
        });
    }
    STDMETHODIMP get_Windows(IVexaWindows** windows) override {
        return Guard("Application.Windows", windows, [&] {
            *windows = NewWindows(shared());
            return S_OK;
        });
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = state().typeInfoAvailable ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return Guard("Application.GetTypeInfo", info, [&] {
            if (!state().typeInfoAvailable)
                Fail(TYPE_E_ELEMENTNOTFOUND, "The application has no type information");
            if (index != 0) Fail(DISP_E_BADINDEX, "The application has one type information, index 0");
            *info = NewTypeInfo(shared());
            return S_OK;
        });
    }
};

// The graphs that have a window, in project order.
std::vector<const GraphData*> WindowGraphs(const ProjectData& project) {
    std::vector<const GraphData*> r;
    for (const GraphData& g : project.graphs)
        if (g.hasWindow) r.push_back(&g);
    return r;
}

class Windows final : public Object<IVexaWindows> {
public:
    explicit Windows(const StatePtr& state) : Object(state, IID_IVexaWindows) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Windows.Count", count, [&] {
            *count = static_cast<LONG>(WindowGraphs(state().project).size());
            return S_OK;
        });
    }
    // By graph name: the first window showing a graph of that name, null when none does.
    STDMETHODIMP Item(VARIANT index, IVexaWindow** window) override {
        return Guard("Windows.Item", window, [&] {
            const auto graphs = WindowGraphs(state().project);
            const Index i = ReadIndex(index, "Windows.Item");
            if (i.byName) {
                for (const GraphData* g : graphs) {
                    if (g->name == i.name) {
                        *window = NewWindow(shared(), g->id);
                        break;
                    }
                }
                return S_OK;
            }
            *window = NewWindow(shared(), graphs[Position(i.number, graphs.size(), "Windows.Item")]->id);
            return S_OK;
        });
    }
};

class Window final : public Object<IVexaWindow> {
public:
    Window(const StatePtr& state, long graph) : Object(state, IID_IVexaWindow), graph_(graph) {}

    STDMETHODIMP get_Caption(BSTR* caption) override {
        return Guard("Window.Caption", caption, [&] { return PutText(caption, Shown().name); });
    }
    STDMETHODIMP Activate() override {
        return Guard("Window.Activate", [&] {
            state().activeGraph = Shown().id;
            return S_OK;
        });
    }

private:
    GraphData& Shown() {
        GraphData* g = nullptr;
        try {
            g = &state().Graph(graph_);
        } catch (const HostError&) {
        }
        if (!g || !g->hasWindow) Fail(E_FAIL, "The window has been closed");
        return *g;
    }

    long graph_;
};

}  // namespace

IVexaApplication* NewApplication(const StatePtr& state) { return new Application(state); }
IVexaWindows* NewWindows(const StatePtr& state) { return new Windows(state); }
IVexaWindow* NewWindow(const StatePtr& state, long graph) { return new Window(state, graph); }
ITypeInfo* NewTypeInfo(const StatePtr& state) { return new TypeInfo(state); }

}  // namespace vexasim::model
