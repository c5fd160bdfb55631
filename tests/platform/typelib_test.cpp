// Type libraries: the library this program carries (its "lpt_typelib" section,
// as a module carries its TYPELIB resource), its description through ITypeLib
// and ITypeInfo, Invoke on every supported member shape, and registration.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include "tests/platform/registry_scope.h"

// The library of this test program.
__attribute__((used, section("lpt_typelib"))) const char kTestLibrary[] = R"idl(
import "oaidl.idl";
/* A gauge: one property of each supported type, and a method. */
[object, uuid(1C0FFEE0-0001-4000-8000-00000000AA01), dual, oleautomation, helpstring("IGauge Interface")]
interface IGauge : IDispatch
{
    [propget, id(1), helpstring("label")] HRESULT Label([out, retval] BSTR* pVal);
    [propput, id(1)] HRESULT Label([in] BSTR newVal);
    [propget, id(2)] HRESULT Count([out, retval] long* pVal);
    [propput, id(2)] HRESULT Count([in] long newVal);
    [propget, id(3)] HRESULT Level([out, retval] double* pVal);
    [propput, id(3)] HRESULT Level([in] double newVal);
    [propget, id(4)] HRESULT On([out, retval] VARIANT_BOOL* pVal);
    [id(5)] HRESULT Reset();
};
[uuid(1C0FFEE0-0001-4000-8000-00000000AA00), version(2.1), helpstring("Gauge 2.1 Library")]
library GaugeLib
{
    importlib("stdole2.tlb");
    [uuid(1C0FFEE0-0001-4000-8000-00000000AA02), helpstring("Gauge Class")]
    coclass Gauge { [default] interface IGauge; };
};
)idl";

namespace {

const GUID kLib = {0x1C0FFEE0, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xAA, 0x00}};
const GUID kGauge = {0x1C0FFEE0, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xAA, 0x01}};
const GUID kClass = {0x1C0FFEE0, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xAA, 0x02}};

struct IGauge : IDispatch {
    STDMETHOD(get_Label)(BSTR* v) = 0;
    STDMETHOD(put_Label)(BSTR v) = 0;
    STDMETHOD(get_Count)(LONG* v) = 0;
    STDMETHOD(put_Count)(LONG v) = 0;
    STDMETHOD(get_Level)(double* v) = 0;
    STDMETHOD(put_Level)(double v) = 0;
    STDMETHOD(get_On)(VARIANT_BOOL* v) = 0;
    STDMETHOD(Reset)() = 0;
};

// Reset fails with error information, for the DISP_E_EXCEPTION path.
class Gauge final : public IGauge {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Label(BSTR* v) override {
        *v = SysAllocString(label.c_str());
        return S_OK;
    }
    STDMETHODIMP put_Label(BSTR v) override {
        label = v ? v : OLESTR("");
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* v) override {
        *v = count;
        return S_OK;
    }
    STDMETHODIMP put_Count(LONG v) override {
        count = v;
        return S_OK;
    }
    STDMETHODIMP get_Level(double* v) override {
        *v = level;
        return S_OK;
    }
    STDMETHODIMP put_Level(double v) override {
        level = v;
        return S_OK;
    }
    STDMETHODIMP get_On(VARIANT_BOOL* v) override {
        *v = VARIANT_TRUE;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        ICreateErrorInfo* create = nullptr;
        CreateErrorInfo(&create);
        create->SetSource(const_cast<LPOLESTR>(OLESTR("Gauge")));
        create->SetDescription(const_cast<LPOLESTR>(u"Cannot reset"));
        IErrorInfo* info = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
        SetErrorInfo(0, info);
        info->Release();
        create->Release();
        return E_ACCESSDENIED;
    }
    std::u16string label = u"start";
    LONG count = 0;
    double level = 0;
};

std::u16string ThisProgram() {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::u16string(path, path + n);
}

std::string Narrow(BSTR s) {
    std::string out;
    for (UINT i = 0; s && i < SysStringLen(s); ++i) out += static_cast<char>(s[i]);
    return out;
}

struct Lib {
    ITypeLib* p = nullptr;
    ~Lib() {
        if (p) p->Release();
    }
};
struct Info {
    ITypeInfo* p = nullptr;
    ~Info() {
        if (p) p->Release();
    }
};

TEST(TypeLibTest, DescribesTheLibraryTheModuleCarries) {
    Lib lib;
    ASSERT_EQ(LoadTypeLibEx(ThisProgram().c_str(), REGKIND_NONE, &lib.p), S_OK);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib.p->GetLibAttr(&la), S_OK);
    EXPECT_EQ(la->guid, kLib);
    EXPECT_EQ(la->wMajorVerNum, 2);
    EXPECT_EQ(la->wMinorVerNum, 1);
    lib.p->ReleaseTLibAttr(la);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(lib.p->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name), "GaugeLib");
    EXPECT_EQ(Narrow(doc), "Gauge 2.1 Library");
    SysFreeString(name);
    SysFreeString(doc);
    ASSERT_EQ(lib.p->GetTypeInfoCount(), 2u);

    Info cls, itf;
    ASSERT_EQ(lib.p->GetTypeInfoOfGuid(kClass, &cls.p), S_OK);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(cls.p->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
    cls.p->ReleaseTypeAttr(ta);

    ASSERT_EQ(lib.p->GetTypeInfoOfGuid(kGauge, &itf.p), S_OK);
    ASSERT_EQ(itf.p->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
    EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    itf.p->ReleaseTypeAttr(ta);
    ASSERT_EQ(itf.p->GetDocumentation(1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name), "Label");
    EXPECT_EQ(Narrow(doc), "label");
    SysFreeString(name);
    SysFreeString(doc);
    EXPECT_EQ(itf.p->GetDocumentation(9, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    ITypeLib* owner = nullptr;
    UINT index = 99;
    ASSERT_EQ(itf.p->GetContainingTypeLib(&owner, &index), S_OK);
    EXPECT_EQ(owner, lib.p);
    owner->Release();

    OLECHAR count[] = u"count", param[] = u"newval", wrong[] = u"nothing";
    LPOLESTR names[] = {count, param};
    MEMBERID ids[2];
    ASSERT_EQ(DispGetIDsOfNames(itf.p, names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], 0);
    names[1] = wrong;
    EXPECT_EQ(DispGetIDsOfNames(itf.p, names, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], MEMBERID_NIL);
}

TEST(TypeLibTest, InvokeCallsTheInterfaceForEachMemberShape) {
    Lib lib;
    Info itf;
    ASSERT_EQ(LoadTypeLibEx(ThisProgram().c_str(), REGKIND_NONE, &lib.p), S_OK);
    ASSERT_EQ(lib.p->GetTypeInfoOfGuid(kGauge, &itf.p), S_OK);
    Gauge gauge;
    IGauge* self = &gauge;
    DISPID put = DISPID_PROPERTYPUT;
    auto set = [&](DISPID id, VARIANT v) {
        DISPPARAMS p{&v, &put, 1, 1};
        const HRESULT hr = DispInvoke(self, itf.p, id, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr);
        VariantClear(&v);
        return hr;
    };
    auto get = [&](DISPID id, VARIANT& out) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VariantInit(&out);
        return DispInvoke(self, itf.p, id, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
    };
    VARIANT v, out;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"tuned");
    ASSERT_EQ(set(1, v), S_OK);
    EXPECT_EQ(gauge.label, u"tuned");
    ASSERT_EQ(get(1, out), S_OK);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(Narrow(out.bstrVal), "tuned");
    VariantClear(&out);

    v.vt = VT_I4;
    v.lVal = -42;
    ASSERT_EQ(set(2, v), S_OK);
    ASSERT_EQ(get(2, out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, -42);

    v.vt = VT_R8;
    v.dblVal = 0.125;
    ASSERT_EQ(set(3, v), S_OK);
    ASSERT_EQ(get(3, out), S_OK);
    EXPECT_EQ(out.vt, VT_R8);
    EXPECT_EQ(out.dblVal, 0.125);

    ASSERT_EQ(get(4, out), S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_FALSE;
    EXPECT_EQ(set(4, v), DISP_E_MEMBERNOTFOUND);  // read-only

    // No conversions: a double for a long is a type mismatch, reported at argument 0.
    v.vt = VT_R8;
    v.dblVal = 1.0;
    UINT argErr = 7;
    DISPPARAMS p{&v, &put, 1, 1};
    EXPECT_EQ(DispInvoke(self, itf.p, 2, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(gauge.count, -42);

    // A failing method comes back as DISP_E_EXCEPTION with the error information.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO excep;
    EXPECT_EQ(DispInvoke(self, itf.p, 5, DISPATCH_METHOD, &none, nullptr, &excep, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    EXPECT_EQ(Narrow(excep.bstrSource), "Gauge");
    EXPECT_EQ(Narrow(excep.bstrDescription), "Cannot reset");
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    DISPPARAMS extra{&v, nullptr, 1, 0};
    EXPECT_EQ(DispInvoke(self, itf.p, 5, DISPATCH_METHOD, &extra, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(DispInvoke(nullptr, itf.p, 5, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_INVALIDARG);
}

TEST(TypeLibTest, RegistersLoadsByGuidAndUnregisters) {
    RegistryScope scope;
    Lib lib, byGuid;
    EXPECT_EQ(LoadRegTypeLib(kLib, 2, 0, 0, &byGuid.p), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(LoadTypeLibEx(ThisProgram().c_str(), REGKIND_REGISTER, &lib.p), S_OK);
    ASSERT_EQ(LoadRegTypeLib(kLib, 2, 0, 0x409, &byGuid.p), S_OK);  // 2.1 satisfies 2.0, any locale falls back to 0
    TLIBATTR* la = nullptr;
    ASSERT_EQ(byGuid.p->GetLibAttr(&la), S_OK);
    EXPECT_EQ(la->guid, kLib);
    byGuid.p->ReleaseTLibAttr(la);
    Lib none;
    EXPECT_EQ(LoadRegTypeLib(kLib, 2, 2, 0, &none.p), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(kLib, 1, 0, 0, &none.p), TYPE_E_LIBNOTREGISTERED);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface\\{1C0FFEE0-0001-4000-8000-00000000AA01}\\TypeLib", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char version[16];
    DWORD size = sizeof version;
    ASSERT_EQ(RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(version), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(version, "2.1");
    RegCloseKey(key);

    const SYSKIND sys = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    EXPECT_EQ(UnRegisterTypeLib(kLib, 2, 1, 0, sys), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(kLib, 2, 1, 0, sys), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface\\{1C0FFEE0-0001-4000-8000-00000000AA01}", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "TypeLib\\{1C0FFEE0-0001-4000-8000-00000000AA00}", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LoadRegTypeLib(kLib, 2, 0, 0, &none.p), TYPE_E_LIBNOTREGISTERED);
}

TEST(TypeLibTest, FilesWithoutALibraryAreRefused) {
    Lib lib;
    const std::string text = "/tmp/lpt-typelib-not-elf-" + std::to_string(getpid());
    { std::ofstream(text) << "library X {};\n"; }
    const std::u16string textPath(text.begin(), text.end());
    EXPECT_EQ(LoadTypeLibEx(textPath.c_str(), REGKIND_NONE, &lib.p), TYPE_E_CANTLOADLIBRARY);
    std::remove(text.c_str());
    EXPECT_EQ(LoadTypeLibEx(textPath.c_str(), REGKIND_NONE, &lib.p), TYPE_E_CANTLOADLIBRARY);  // now missing
    EXPECT_EQ(LoadTypeLibEx(u"/bin/sh", REGKIND_NONE, &lib.p), TYPE_E_CANTLOADLIBRARY);    // ELF, no library
    EXPECT_EQ(lib.p, nullptr);
    EXPECT_EQ(LoadTypeLibEx(ThisProgram().c_str(), REGKIND_DEFAULT, &lib.p), E_NOTIMPL);
    EXPECT_EQ(LoadTypeLibEx(nullptr, REGKIND_NONE, &lib.p), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLibEx(ThisProgram().c_str(), REGKIND_NONE, nullptr), E_INVALIDARG);
}

}  // namespace
