// The COM object as its clients see it: the interface table and identity,
// aggregation, the class factory and the module's exports, and the error
// information Run leaves for a refused host.
#include <gtest/gtest.h>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "tests/component/com_test_support.h"
#include "vexasim/host.h"

namespace {

ULONG RefCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

host::ComPtr<IClassFactory> Factory() {
    host::ComPtr<IClassFactory> f;
    EXPECT_EQ(DllGetClassObject(CLSID_LPTuner, IID_IClassFactory, f.put_void()), S_OK);
    return f;
}

// A minimal outer object: holds the inner unknown and answers IUnknown itself.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

TEST(ComObjectTest, AnswersItsInterfaceTableWithOneIdentity) {
    host::ComPtr<IUnknown> unk;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IUnknown, unk.put_void()), S_OK);
    EXPECT_EQ(RefCount(unk.get()), 1u);

    const IID* answered[] = {&IID_ILPTuner, &IID_ISupportErrorInfo, &IID_IVexaWizard, &IID_IPersistStream};
    host::ComPtr<ILPTuner> tuner;
    ASSERT_EQ(unk.query(IID_ILPTuner, tuner), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(tuner.get()), unk.get());  // ILPTuner doubles as IUnknown
    for (const IID* iid : answered) {
        host::ComPtr<IUnknown> itf, back;
        ASSERT_EQ(unk.query(*iid, itf), S_OK);
        ASSERT_EQ(itf.query(IID_IUnknown, back), S_OK);
        EXPECT_EQ(back.get(), unk.get());
        for (const IID* other : answered) {  // every interface reaches every other
            host::ComPtr<IUnknown> x;
            EXPECT_EQ(itf.query(*other, x), S_OK);
        }
    }
    for (const IID* refused : {&IID_IDispatch, &IID_IPersist, &IID_IClassFactory, &IID_IStream}) {
        void* p = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(unk->QueryInterface(*refused, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(unk->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(RefCount(unk.get()), 2u);  // unk and tuner

    host::ComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(unk.query(IID_ISupportErrorInfo, sei), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IVexaWizard), S_OK);
    for (const IID* iid : {&IID_ILPTuner, &IID_IPersistStream, &IID_IUnknown})
        EXPECT_EQ(sei->InterfaceSupportsErrorInfo(*iid), S_FALSE);
}

TEST(ComObjectTest, NameIsTheSamePropertyOnBothInterfaces) {
    host::ComPtr<IVexaWizard> wizard;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IVexaWizard, wizard.put_void()), S_OK);
    host::ComPtr<ILPTuner> tuner;
    ASSERT_EQ(wizard.query(IID_ILPTuner, tuner), S_OK);
    host::Bstr name;
    ASSERT_EQ(tuner->get_Name(name.put()), S_OK);
    EXPECT_EQ(comtest::Narrow(name.get()), "LPTuner");
    EXPECT_EQ(tuner->get_Name(nullptr), E_POINTER);

    host::Bstr text = host::Str(OLESTR("Renamed"));
    ASSERT_EQ(wizard->put_Name(text.get()), S_OK);
    ASSERT_EQ(tuner->get_Name(name.put()), S_OK);
    EXPECT_EQ(comtest::Narrow(name.get()), "Renamed");
    EXPECT_NE(name.get(), text.get());  // a copy each way

    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(wizard.query(IID_IPersistStream, persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    ASSERT_EQ(tuner->put_Name(nullptr), S_OK);
    ASSERT_EQ(wizard->get_Name(name.put()), S_OK);
    ASSERT_NE(name.get(), nullptr);  // a null Name reads as an empty string
    EXPECT_EQ(SysStringLen(name.get()), 0u);
}

TEST(ComObjectTest, AggregatesUnderAnOuterObject) {
    Outer outer;
    host::ComPtr<IClassFactory> factory = Factory();
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ILPTuner, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    EXPECT_EQ(RefCount(outer.inner), 1u);
    EXPECT_EQ(outer.refs, 1u);

    // Interfaces of the inner object count on, and answer IUnknown as, the outer one.
    IVexaWizard* wizard = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IVexaWizard, reinterpret_cast<void**>(&wizard)), S_OK);
    EXPECT_EQ(outer.refs, 2u);
    EXPECT_EQ(RefCount(outer.inner), 1u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(wizard->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    IPersistStream* persist = nullptr;
    ASSERT_EQ(wizard->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
    persist->Release();
    wizard->Release();
    EXPECT_EQ(outer.refs, 1u);

    // The inner unknown is its own identity and not the ILPTuner pointer.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, outer.inner);
    innerAgain->Release();

    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ComObjectTest, ExportsHandOutOneFactoryAndCountObjectsAndLocks) {
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(IID_ILPTuner, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_LPTuner, IID_IClassFactory, nullptr), E_POINTER);
    p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(CLSID_LPTuner, IID_IPersistStream, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    host::ComPtr<IClassFactory> a = Factory(), b = Factory();
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(DllCanUnloadNow(), S_OK);  // factory references do not hold the module

    host::ComPtr<IUnknown> object;
    ASSERT_EQ(a->CreateInstance(nullptr, IID_IPersistStream, object.put_void()), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(a->CreateInstance(nullptr, IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(a->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    object.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    EXPECT_EQ(a->LockServer(TRUE), S_OK);
    EXPECT_EQ(a->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(a->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(a->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// A client that gets E_FAIL from Run asks ISupportErrorInfo, then takes the
// error information, which names the ProgID as its source.
TEST(ComObjectTest, RefusedHostVersionLeavesErrorInfoForTheClient) {
    vexasim::Host host;
    vexasim::ProjectBuilder(host).Schematic("Amp").Element("LTUNER1", {{0, "Mag", 0.1}, {0, "Ang", 0.2}});
    host.SetTypeInfoVersion(4, 9);
    host::ComPtr<IVexaWizard> wizard;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IVexaWizard, wizard.put_void()), S_OK);
    SetErrorInfo(0, nullptr);
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    {
        host::ComPtr<IDispatch> app = host.ApplicationDispatch();
        EXPECT_EQ(wizard->Run(app.get(), &cancelled), E_FAIL);
    }
    EXPECT_EQ(cancelled, VARIANT_TRUE);
    host::ComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(wizard.query(IID_ISupportErrorInfo, sei), S_OK);
    ASSERT_EQ(sei->InterfaceSupportsErrorInfo(IID_IVexaWizard), S_OK);
    host::ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    host::Bstr source, description;
    GUID guid = IID_IUnknown;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    info->GetGUID(&guid);
    EXPECT_EQ(comtest::Narrow(source.get()), "Tessary.LPTuner.1");
    EXPECT_EQ(comtest::Narrow(description.get()), "This wizard requires Vexa 5.0 or greater.");
    EXPECT_EQ(guid, GUID_NULL);
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);  // taken once
    wizard.reset();
    EXPECT_EQ(host.ExternalReferences(), 0);
}

}  // namespace
