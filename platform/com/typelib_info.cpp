// ITypeLib and ITypeInfo over a library description, including ITypeInfo::Invoke,
// which calls the interface's vtable directly, as oleaut32 does.
//
// Invoke supports the members a small automation server has: methods without
// parameters, and property gets and puts of one BSTR, long, double or VARIANT_BOOL.
// Arguments must have the parameter's type; conversions between types and
// references are not made (DISP_E_TYPEMISMATCH). Other shapes are refused
// with E_NOTIMPL.
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "platform/com/com_object.h"
#include "platform/com/typelib_model.h"

namespace platform::typelib {

namespace {

bool SameNoCase(const std::string& a, const OLECHAR* w) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        OLECHAR c = w[i];
        if (c == 0 || c > 0x7f) return false;
        char x = a[i], y = static_cast<char>(c);
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return w[i] == 0;
}

BSTR ToBstr(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n > 0 ? n : 0));
    if (b && n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), b, n);
    return b;
}

// Fills the optional outputs of GetDocumentation.
HRESULT Document(const std::string& name, const std::string* help, BSTR* pName, BSTR* pDoc, DWORD* pContext,
                 BSTR* pFile) {
    if (pName) *pName = nullptr;
    if (pDoc) *pDoc = nullptr;
    if (pFile) *pFile = nullptr;
    if (pContext) *pContext = 0;
    if (pName && !(*pName = ToBstr(name))) return E_OUTOFMEMORY;
    if (pDoc && help && !(*pDoc = ToBstr(*help))) {
        if (pName) {
            SysFreeString(*pName);
            *pName = nullptr;
        }
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

class TypeLib;

class TypeInfo final : public platform::ComObject<ITypeInfo> {
public:
    TypeInfo(TypeLib* lib, std::shared_ptr<const Library> desc, UINT index);

    void* Interface(REFIID riid) override {
        return IsEqualIID(riid, IID_ITypeInfo) ? static_cast<ITypeInfo*>(this) : nullptr;
    }

    STDMETHODIMP GetTypeAttr(TYPEATTR** pp) override {
        if (!pp) return E_INVALIDARG;
        auto* a = new (std::nothrow) TYPEATTR{};
        *pp = a;
        if (!a) return E_OUTOFMEMORY;
        a->guid = type().guid;
        a->lcid = desc_->lcid;
        a->memidConstructor = MEMBERID_NIL;
        a->memidDestructor = MEMBERID_NIL;
        a->cbSizeInstance = sizeof(void*);
        a->typekind = type().kind;
        a->cFuncs = static_cast<WORD>(type().funcs.size());
        a->cImplTypes = static_cast<WORD>(type().kind == TKIND_COCLASS ? type().impls.size() : 1);
        a->cbSizeVft = static_cast<WORD>(type().kind == TKIND_COCLASS
                                             ? 0
                                             : (type().baseSlots + type().funcs.size()) * sizeof(void*));
        a->cbAlignment = sizeof(void*);
        a->wTypeFlags = type().flags;
        a->wMajorVerNum = type().major;
        a->wMinorVerNum = type().minor;
        return S_OK;
    }

    STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* p) override { delete p; }

    // Member names are matched without regard to case; further names are the
    // member's parameter names.
    STDMETHODIMP GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
        if (!names[0]) return E_INVALIDARG;
        HRESULT hr = DISP_E_UNKNOWNNAME;
        for (const Func& f : type().funcs) {
            if (!SameNoCase(f.name, names[0])) continue;
            ids[0] = f.id;
            hr = S_OK;
            break;
        }
        if (FAILED(hr)) return hr;
        for (UINT i = 1; i < count; ++i) {
            for (const Func& f : type().funcs) {
                if (f.id != ids[0] || !names[i]) continue;
                for (size_t p = 0; p < f.params.size(); ++p)
                    if (SameNoCase(f.params[p].name, names[i])) ids[i] = static_cast<MEMBERID>(p);
            }
            if (ids[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    STDMETHODIMP Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pName, BSTR* pDoc, DWORD* pContext, BSTR* pFile) override {
        if (memid == MEMBERID_NIL)
            return Document(type().name, type().hasHelp ? &type().help : nullptr, pName, pDoc, pContext, pFile);
        for (const Func& f : type().funcs)
            if (f.id == memid) return Document(f.name, f.hasHelp ? &f.help : nullptr, pName, pDoc, pContext, pFile);
        return TYPE_E_ELEMENTNOTFOUND;
    }

    STDMETHODIMP GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;

    // The rest of ITypeInfo: FUNCDESC, VARDESC and the rest are not described here.
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
    ~TypeInfo();
    const Type& type() const { return desc_->types[index_]; }

    TypeLib* lib_;
    std::shared_ptr<const Library> desc_;
    UINT index_;
};

class TypeLib final : public platform::ComObject<ITypeLib> {
public:
    explicit TypeLib(std::shared_ptr<const Library> desc) : desc_(std::move(desc)) {}

    void* Interface(REFIID riid) override {
        return IsEqualIID(riid, IID_ITypeLib) ? static_cast<ITypeLib*>(this) : nullptr;
    }

    STDMETHODIMP_(UINT) GetTypeInfoCount() override { return static_cast<UINT>(desc_->types.size()); }

    STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (index >= desc_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        *pp = new (std::nothrow) TypeInfo(this, desc_, index);
        return *pp ? S_OK : E_OUTOFMEMORY;
    }

    STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        for (UINT i = 0; i < desc_->types.size(); ++i)
            if (IsEqualGUID(desc_->types[i].guid, guid)) return GetTypeInfo(i, pp);
        return TYPE_E_ELEMENTNOTFOUND;
    }

    STDMETHODIMP GetLibAttr(TLIBATTR** pp) override {
        if (!pp) return E_INVALIDARG;
        auto* a = new (std::nothrow) TLIBATTR{};
        *pp = a;
        if (!a) return E_OUTOFMEMORY;
        a->guid = desc_->guid;
        a->lcid = desc_->lcid;
        a->syskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
        a->wMajorVerNum = desc_->major;
        a->wMinorVerNum = desc_->minor;
        return S_OK;
    }

    STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* p) override { delete p; }

    // Index -1 documents the library itself.
    STDMETHODIMP GetDocumentation(INT index, BSTR* pName, BSTR* pDoc, DWORD* pContext, BSTR* pFile) override {
        if (index == -1)
            return Document(desc_->name, desc_->hasHelp ? &desc_->help : nullptr, pName, pDoc, pContext, pFile);
        if (index < 0 || static_cast<size_t>(index) >= desc_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        const Type& t = desc_->types[static_cast<size_t>(index)];
        return Document(t.name, t.hasHelp ? &t.help : nullptr, pName, pDoc, pContext, pFile);
    }

private:
    ~TypeLib() = default;
    std::shared_ptr<const Library> desc_;
};

TypeInfo::TypeInfo(TypeLib* lib, std::shared_ptr<const Library> desc, UINT index)
    : lib_(lib), desc_(std::move(desc)), index_(index) {
    lib_->AddRef();
}

TypeInfo::~TypeInfo() { lib_->Release(); }

STDMETHODIMP TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
    if (!ppTLib) return E_INVALIDARG;
    lib_->AddRef();
    *ppTLib = lib_;
    if (pIndex) *pIndex = index_;
    return S_OK;
}

// ---- Invoke ----

void* Slot(void* instance, int slot) { return (*static_cast<void***>(instance))[slot]; }

template <class T>
HRESULT CallPut(void* instance, int slot, T value) {
    auto fn = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, T)>(Slot(instance, slot));
    return fn(instance, value);
}

template <class T>
HRESULT CallGet(void* instance, int slot, T* value) {
    auto fn = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, T*)>(Slot(instance, slot));
    return fn(instance, value);
}

// The argument must have the parameter's type: neither conversions nor references
// (VT_BYREF) are supported.
const VARIANT* Argument(const VARIANT* arg, VARTYPE vt) { return arg->vt == vt ? arg : nullptr; }

HRESULT Put(void* instance, const Func& f, const VARIANT* arg) {
    switch (f.params[0].vt) {
        case VT_BSTR: return CallPut<BSTR>(instance, f.vtableSlot, arg->bstrVal);
        case VT_I4: return CallPut<LONG>(instance, f.vtableSlot, arg->lVal);
        case VT_R8: return CallPut<double>(instance, f.vtableSlot, arg->dblVal);
        case VT_BOOL: return CallPut<VARIANT_BOOL>(instance, f.vtableSlot, arg->boolVal);
        default: return E_NOTIMPL;
    }
}

HRESULT Get(void* instance, const Func& f, VARIANT& out) {
    VariantInit(&out);
    HRESULT hr;
    const VARTYPE vt = f.params[0].vt;
    switch (vt) {
        case VT_BSTR: hr = CallGet<BSTR>(instance, f.vtableSlot, &out.bstrVal); break;
        case VT_I4: hr = CallGet<LONG>(instance, f.vtableSlot, &out.lVal); break;
        case VT_R8: hr = CallGet<double>(instance, f.vtableSlot, &out.dblVal); break;
        case VT_BOOL: hr = CallGet<VARIANT_BOOL>(instance, f.vtableSlot, &out.boolVal); break;
        default: return E_NOTIMPL;
    }
    if (SUCCEEDED(hr)) out.vt = vt;
    return hr;
}

// A failed member comes back as DISP_E_EXCEPTION with its HRESULT and the thread's
// error information in the EXCEPINFO.
HRESULT Exception(HRESULT hr, EXCEPINFO* excep) {
    if (excep) {
        std::memset(excep, 0, sizeof *excep);
        excep->scode = hr;
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            info->GetSource(&excep->bstrSource);
            info->GetDescription(&excep->bstrDescription);
            info->GetHelpFile(&excep->bstrHelpFile);
            info->GetHelpContext(&excep->dwHelpContext);
            info->Release();
        }
    }
    return DISP_E_EXCEPTION;
}

STDMETHODIMP TypeInfo::Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* excep, UINT* argErr) {
    if (!instance || !params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    const Func* f = nullptr;
    for (const Func& candidate : type().funcs) {
        if (candidate.id == memid && (candidate.invkind & flags)) {
            f = &candidate;
            break;
        }
    }
    if (!f) return DISP_E_MEMBERNOTFOUND;

    const bool put = f->invkind == DISPATCH_PROPERTYPUT;
    if (put ? !(params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)
            : params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;

    size_t inputs = 0;
    for (const Param& p : f->params) inputs += p.retval ? 0 : 1;
    if (params->cArgs != inputs) return DISP_E_BADPARAMCOUNT;

    HRESULT hr;
    if (f->params.empty()) {
        hr = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*)>(Slot(instance, f->vtableSlot))(instance);
        if (SUCCEEDED(hr) && result) VariantInit(result);
    } else if (f->params.size() == 1 && !f->params[0].pointer) {
        const VARIANT* arg = Argument(&params->rgvarg[0], f->params[0].vt);
        if (!arg) {
            if (argErr) *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        hr = Put(instance, *f, arg);
        if (SUCCEEDED(hr) && result) VariantInit(result);
    } else if (f->params.size() == 1 && f->params[0].retval) {
        VARIANT value;
        hr = Get(instance, *f, value);
        if (SUCCEEDED(hr)) {
            if (result)
                *result = value;
            else
                VariantClear(&value);
        }
    } else {
        return E_NOTIMPL;
    }
    return FAILED(hr) ? Exception(hr, excep) : hr;
}

}  // namespace

HRESULT CreateTypeLib(Library lib, ITypeLib** out) {
    *out = nullptr;
    try {
        *out = new TypeLib(std::make_shared<const Library>(std::move(lib)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace platform::typelib
