// The component's COM boundary: Save against a stream that fails any one of its
// writes, and exceptions thrown through the entry points that call out (the
// stream of Load and Save, the host of Run): each comes back as an HRESULT,
// never as an exception. (Native only: the test stream implements just the
// members the native IStream has.)
#include <gtest/gtest.h>

#include <comdef.h>

#include <new>
#include <stdexcept>

#include "component/com_boundary.h"
#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "platform/automation/input_source.h"
#include "tests/component/com_test_support.h"

namespace {

using comtest::Bytes;

enum class Fault { None, Fail, Short, ThrowRuntime, ThrowBadAlloc, ThrowComError };

// A memory stream whose n-th Write (1-based) fails as told: an error HRESULT, a
// short write (S_OK with fewer bytes written), or a thrown exception; its Reads
// throw as told from the n-th on.
class FaultyStream : public IStream {
public:
    FaultyStream(Fault fault, int at) : fault_(fault), at_(at), inner_(comtest::NewStream()) {}
    virtual ~FaultyStream() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
            *ppv = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (++reads >= at_ && at_ > 0) Throw();
        return inner_->Read(pv, cb, pcbRead);
    }
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (++writes != at_) return inner_->Write(pv, cb, pcbWritten);
        switch (fault_) {
            case Fault::None: return inner_->Write(pv, cb, pcbWritten);
            case Fault::Fail:
                if (pcbWritten) *pcbWritten = 0;
                return STG_E_WRITEFAULT;
            case Fault::Short: {
                const ULONG part = cb / 2;
                inner_->Write(pv, part, nullptr);
                if (pcbWritten) *pcbWritten = part;
                return S_OK;
            }
            default: Throw();
        }
        return E_UNEXPECTED;
    }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        return inner_->Seek(move, origin, position);
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override { return inner_->SetSize(size); }

    Bytes Contents() { return comtest::Contents(inner_.get()); }
    // Puts bytes in, past the faults, and rewinds.
    void Fill(const Bytes& bytes) {
        inner_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
        LARGE_INTEGER zero{};
        inner_->Seek(zero, STREAM_SEEK_SET, nullptr);
    }
    int writes = 0;
    int reads = 0;

private:
    [[noreturn]] void Throw() {
        switch (fault_) {
            case Fault::ThrowBadAlloc: throw std::bad_alloc();
            case Fault::ThrowComError: _com_issue_error(E_ACCESSDENIED);
            default: throw std::runtime_error("the stream broke");
        }
    }

    Fault fault_;
    int at_;
    host::ComPtr<IStream> inner_;
    ULONG refs_ = 1;
};

struct Wizard {
    Wizard() : p(new CLPTunerWizard()) {}
    ~Wizard() { p->Release(); }
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;
    CLPTunerWizard* operator->() const { return p; }
    CLPTunerWizard* p;
};

void FillSettings(CLPTunerWizard* w) {
    w->settings.schematicName = host::Str(OLESTR("Amp"));
    w->settings.tunerName = host::Str(OLESTR("LTUNER1"));
    w->settings.contourMeasurements.push_back({host::Str(OLESTR("Amp:Pout")), host::Str(OLESTR("pout"))});
    w->settings.contourMeasurements.push_back({host::Str(OLESTR("Amp:PAE")), host::Str(OLESTR("pae"))});
    w->settings.measuredDataMeasName = host::Str(OLESTR("loads:LPGPM"));
}

// Every write of Save fails in turn, as an error and as a short write: Save
// returns that write's failure (a short write is STG_E_MEDIUMFULL), writes
// nothing after it, and the object stays dirty. Past the last write, Save
// succeeds, writes the whole record and clears the flag.
TEST(ComBoundaryTest, SaveReportsTheFirstFailingWriteAndStaysDirty) {
    Wizard w;
    FillSettings(w.p);
    auto reference = comtest::NewStream();
    w->dirty = true;
    ASSERT_EQ(w->Save(reference.get(), FALSE), S_OK);
    const Bytes whole = comtest::Contents(reference.get());

    for (Fault fault : {Fault::Fail, Fault::Short}) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE(::testing::Message() << (fault == Fault::Fail ? "failing" : "short") << " write " << n);
            w->dirty = true;
            auto* stream = new FaultyStream(fault, n);
            const HRESULT hr = w->Save(stream, TRUE);
            const int writes = stream->writes;
            const Bytes written = stream->Contents();
            stream->Release();
            if (writes < n) {  // no write failed: the whole record
                EXPECT_EQ(hr, S_OK);
                EXPECT_EQ(written, whole);
                EXPECT_EQ(w->IsDirty(), S_FALSE);
                EXPECT_GT(n, 20);  // the record has many writes
                break;
            }
            EXPECT_EQ(hr, fault == Fault::Fail ? STG_E_WRITEFAULT : STG_E_MEDIUMFULL);
            EXPECT_EQ(writes, n) << "written after the failure";
            ASSERT_LE(written.size(), whole.size());
            EXPECT_TRUE(std::equal(written.begin(), written.end(), whole.begin()));
            EXPECT_EQ(w->IsDirty(), S_OK);
        }
    }
}

// Exceptions thrown by the stream come back from Load and Save as HRESULTs by
// the component's one policy.
TEST(ComBoundaryTest, ExceptionsFromTheStreamBecomeHResults) {
    const struct {
        Fault fault;
        HRESULT expected;
    } cases[] = {{Fault::ThrowRuntime, E_FAIL}, {Fault::ThrowBadAlloc, E_OUTOFMEMORY}, {Fault::ThrowComError, E_ACCESSDENIED}};
    for (const auto& c : cases) {
        for (int at : {1, 2, 5}) {
            SCOPED_TRACE(::testing::Message() << static_cast<int>(c.fault) << " at " << at);
            Wizard w;
            FillSettings(w.p);
            w->dirty = true;
            auto* out = new FaultyStream(c.fault, at);
            EXPECT_EQ(w->Save(out, TRUE), c.expected);
            EXPECT_EQ(w->IsDirty(), S_OK);
            out->Release();

            auto* in = new FaultyStream(c.fault, at);
            comtest::Encoder e;
            e.I32(2).Str("Loaded").I32(1);
            in->Fill(e.bytes);
            EXPECT_EQ(w->Load(in), c.expected);
            in->Release();
        }
    }
}

// A host object that throws from QueryInterface.
class ThrowingHost : public IDispatch {
public:
    explicit ThrowingHost(Fault fault) : fault_(fault) {}
    virtual ~ThrowingHost() = default;
    STDMETHODIMP QueryInterface(REFIID, void**) override {
        if (fault_ == Fault::ThrowComError) _com_issue_error(E_ACCESSDENIED);
        if (fault_ == Fault::ThrowBadAlloc) throw std::bad_alloc();
        throw std::logic_error("host broke");
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

private:
    Fault fault_;
};

std::string TakeErrorDescription() {
    host::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return "<none>";
    host::Bstr text;
    info->GetDescription(text.put());
    return host::ToAnsiLossy(text.get());
}

// Run shows a host error that nothing caught and reports any other exception
// through error information; the HRESULT comes from the same policy.
TEST(ComBoundaryTest, ExceptionsFromTheHostBecomeRunsHResult) {
    platform::RecordingInputSource user;
    platform::ScopedInputSource scope{user};
    Wizard w;
    const struct {
        Fault fault;
        HRESULT expected;
        size_t boxes;
        const char* info;
    } cases[] = {{Fault::ThrowComError, E_ACCESSDENIED, 1, "<none>"},
                 {Fault::ThrowRuntime, E_FAIL, 0, "Unexpected C++ COM exception"},
                 {Fault::ThrowBadAlloc, E_OUTOFMEMORY, 0, "Unexpected C++ COM exception"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        user.boxes.clear();
        SetErrorInfo(0, nullptr);
        ThrowingHost hostObject(c.fault);
        VARIANT_BOOL flag = 0x1234;
        EXPECT_EQ(w->Run(&hostObject, &flag), c.expected);
        EXPECT_EQ(flag, VARIANT_TRUE);
        EXPECT_EQ(user.boxes.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(user.boxes[0].caption, "Tessary");
        }
        EXPECT_EQ(TakeErrorDescription(), c.info);
    }
}

// The policy itself.
TEST(ComBoundaryTest, OnePolicyMapsEveryException) {
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { _com_issue_error(DISP_E_BADINDEX); }), DISP_E_BADINDEX);
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { _com_issue_error(S_FALSE); }), E_FAIL);
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { throw 42; }), E_FAIL);
    EXPECT_EQ(lptuner::ExceptionsToHResult([]() -> HRESULT { throw std::out_of_range("x"); }), E_FAIL);
}

}  // namespace
