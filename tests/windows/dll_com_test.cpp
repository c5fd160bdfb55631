// The LPTuner class of the real DLL, activated through the real ole32 by its
// ProgID: its interface table, IDispatch answered from the type library widl
// built into the DLL, the settings stream, and the error information of a
// refused host.
#include "tests/windows/dll_support.h"

#include "tests/component/dispatch_checks.h"

#include <vector>

#include "host/com_ptr.h"
#include "host/vexa.h"
#include "vexasim/host.h"

namespace {

using dlltest::Narrow;

class DllComTest : public dlltest::RegisteredTest {
protected:
    template <class I>
    host::ComPtr<I> Create(REFIID iid) {
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner"), &clsid), S_OK);
        host::ComPtr<I> p;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, p.put_void()), S_OK);
        return p;
    }
};

HRESULT CanUnloadNow() {
    HMODULE module = GetModuleHandleA("LPTuner.dll");
    if (!module) return E_UNEXPECTED;
    auto f = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    return f();
}

TEST_F(DllComTest, ActivationByProgIdAnswersTheInterfaceTable) {
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner.1"), &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LPTuner));
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_LPTuner, &progId), S_OK);
    EXPECT_EQ(Narrow(progId), "Tessary.LPTuner.1");
    CoTaskMemFree(progId);

    host::ComPtr<IUnknown> unk = Create<IUnknown>(IID_IUnknown);
    ASSERT_TRUE(unk);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    host::ComPtr<ILPTuner> tuner;
    ASSERT_EQ(unk.query(IID_ILPTuner, tuner), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(tuner.get()), unk.get());  // ILPTuner doubles as IUnknown
    for (const IID* iid : {&IID_ILPTuner, &IID_ISupportErrorInfo, &IID_IVexaWizard, &IID_IPersistStream}) {
        host::ComPtr<IUnknown> itf, back;
        ASSERT_EQ(unk.query(*iid, itf), S_OK) << dlltest::GuidText(*iid);
        ASSERT_EQ(itf.query(IID_IUnknown, back), S_OK);
        EXPECT_EQ(back.get(), unk.get());
    }
    for (const IID* iid : {&IID_IDispatch, &IID_IPersist, &IID_IClassFactory, &IID_IStream}) {
        host::ComPtr<IUnknown> itf;
        EXPECT_EQ(unk.query(*iid, itf), E_NOINTERFACE) << dlltest::GuidText(*iid);
        EXPECT_EQ(itf.get(), nullptr);
    }
    host::ComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(unk.query(IID_ISupportErrorInfo, sei), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IVexaWizard), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_ILPTuner), S_FALSE);

    unk.reset();
    tuner.reset();
    sei.reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

// The sequence the native layer's dispatch test runs against its own reading of
// lptuner.idl, here answered by oleaut32 from the library widl compiled. Where
// the two differ this one says what Windows does.
TEST_F(DllComTest, NameByDispatchThroughTheRealTypeLibrary) {
    host::ComPtr<ILPTuner> tuner = Create<ILPTuner>(IID_ILPTuner);
    ASSERT_TRUE(tuner);
    dispatchtest::ExpectNameByDispatch(tuner.get());
    IDispatch* disp = tuner.get();
    DISPID named = DISPID_PROPERTYPUT;
    host::Bstr direct;

    // The argument is coerced to the parameter's type, as ITypeInfo::Invoke does.
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    DISPPARAMS coerced{&number, &named, 1, 1};
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &coerced, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(tuner->get_Name(direct.put()), S_OK);
    EXPECT_EQ(Narrow(direct.get()), "5");
    // A put without its argument is refused and changes nothing.
    DISPPARAMS noArg{nullptr, nullptr, 0, 0};
    EXPECT_TRUE(FAILED(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noArg, nullptr, nullptr, nullptr)));
    ASSERT_EQ(tuner->get_Name(direct.put()), S_OK);
    EXPECT_EQ(Narrow(direct.get()), "5");
}

// What the type library in the DLL says, read without registering it.
TEST_F(DllComTest, TypeLibraryDescribesTheLibraryClassAndInterface) {
    host::ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(dlltest::DllPathW().c_str(), REGKIND_NONE, lib.put()), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, LIBID_TessaryLib));
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    EXPECT_EQ(libAttr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    lib->ReleaseTLibAttr(libAttr);
    host::Bstr name, doc;
    ASSERT_EQ(lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name.get()), "TessaryLib");
    EXPECT_EQ(Narrow(doc.get()), "Tessary 1.0 Type Library");
    EXPECT_EQ(lib->GetTypeInfoCount(), 2u);  // ILPTuner and LPTuner; stdole2's types stay there

    host::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_LPTuner, coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(attr);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name.get()), "LPTuner");
    EXPECT_EQ(Narrow(doc.get()), "LPTuner Class");
    INT implFlags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    host::ComPtr<ITypeInfo> itf;
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, itf.put()), S_OK);
    ASSERT_EQ(itf->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ILPTuner));
    itf->ReleaseTypeAttr(attr);

    // By its GUID the dual interface is described as a dispatch interface, whose
    // table is IDispatch's; its vtable side is the automation-compatible interface.
    host::ComPtr<ITypeInfo> dual;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ILPTuner, dual.put()), S_OK);
    ASSERT_EQ(dual->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cbSizeVft, 7 * sizeof(void*));
    EXPECT_EQ(attr->cFuncs, 7 + 2);  // IUnknown's and IDispatch's members, then Name's get and put
    const WORD functions = attr->cFuncs;
    dual->ReleaseTypeAttr(attr);
    ASSERT_EQ(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    host::ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dual->GetRefTypeInfo(ref, vtable.put()), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cbSizeVft, 9 * sizeof(void*));
    EXPECT_EQ(attr->cFuncs, 2);
    vtable->ReleaseTypeAttr(attr);
    ASSERT_EQ(dual->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(doc.get()), "ILPTuner Interface");
    ASSERT_EQ(dual->GetDocumentation(1, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name.get()), "Name");
    // Name is the get and the put of DISPID 1 and nothing else.
    std::vector<INVOKEKIND> kinds;
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(dual->GetFuncDesc(i, &f), S_OK);
        if (f->memid == 1) kinds.push_back(f->invkind);
        else EXPECT_LT(f->memid, 0x60030000) << "unexpected member " << f->memid;  // only IDispatch's own
        dual->ReleaseFuncDesc(f);
    }
    const std::vector<INVOKEKIND> expectedKinds = {INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT};
    EXPECT_EQ(kinds, expectedKinds);
}

TEST_F(DllComTest, SaveOfANewObjectWritesTheSeventySixBytes) {
    host::ComPtr<IPersistStream> persist = Create<IPersistStream>(IID_IPersistStream);
    ASSERT_TRUE(persist);
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_LPTuner));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER max;
    ASSERT_EQ(persist->GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 76u + 2 * 7);  // and two bytes per character of "LPTuner"

    host::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    HGLOBAL memory = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream.get(), &memory), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    ASSERT_EQ(stat.cbSize.QuadPart, 76u);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    const std::vector<unsigned char> written(bytes, bytes + 76);
    GlobalUnlock(memory);

    std::vector<unsigned char> expected = {2, 0, 0, 0, 16, 0, 0, 0};  // version 2; "LPTuner" takes 16 bytes
    for (char c : std::string("LPTuner")) expected.insert(expected.end(), {static_cast<unsigned char>(c), 0});
    expected.insert(expected.end(), {0, 0, 0, 0, 0, 0});  // terminator; harmonic 0
    expected.insert(expected.end(), 16, 0);               // centre magnitude and angle 0.0
    const unsigned char radius[] = {0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0xEE, 0x3F};  // 0.95
    expected.insert(expected.end(), radius, radius + 8);
    expected.insert(expected.end(), {0xFF, 0xFF, 0xFF, 0xFF});  // gamma source -1
    expected.insert(expected.end(), 4 * 5, 0);                  // two null names, no pairs, two null names
    EXPECT_EQ(written, expected);

    // Read back into a second object: the null names come back empty, and are
    // saved as such (a length of 2 and the terminator each).
    host::ComPtr<IPersistStream> second = Create<IPersistStream>(IID_IPersistStream);
    LARGE_INTEGER zero{};
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(second->Load(stream.get()), S_OK);
    host::ComPtr<IStream> again;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, again.put()), S_OK);
    ASSERT_EQ(second->Save(again.get(), FALSE), S_OK);
    ASSERT_EQ(again->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 76u + 4 * 2);
}

TEST_F(DllComTest, RefusedHostVersionLeavesErrorInfoForTheClient) {
    vexasim::Host host;
    vexasim::ProjectBuilder(host).Schematic("Amp").Element("LTUNER1", {{0, "Mag", 0.1}, {0, "Ang", 0.2}});
    host.SetTypeInfoVersion(4, 9);
    host::ComPtr<IVexaWizard> wizard = Create<IVexaWizard>(IID_IVexaWizard);
    ASSERT_TRUE(wizard);
    SetErrorInfo(0, nullptr);
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    {
        host::ComPtr<IDispatch> app = host.ApplicationDispatch();
        EXPECT_EQ(wizard->Run(app.get(), &cancelled), E_FAIL);
    }
    EXPECT_EQ(cancelled, VARIANT_TRUE);
    host::ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    host::Bstr source, description;
    GUID guid = IID_IUnknown;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    info->GetGUID(&guid);
    EXPECT_EQ(Narrow(source.get()), "Tessary.LPTuner.1");
    EXPECT_EQ(Narrow(description.get()), "This wizard requires Vexa 5.0 or greater.");
    EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);  // taken once
    wizard.reset();
    EXPECT_EQ(host.ExternalReferences(), 0);
}

}  // namespace
