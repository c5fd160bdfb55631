// Every entry point of the component under allocation failure: the n-th
// allocation inside the call throws std::bad_alloc, for every n until the call
// runs through. Whatever was thrown comes back as a failed HRESULT (no exception
// crosses the boundary: one would end the test program), nothing leaks (the
// leak checker of the sanitizer build), and the call succeeds once it can
// allocate again. (Native only: the program replaces the global operator new.)
#include <gtest/gtest.h>

#include <olectl.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "lptuner_h.h"
#include "tests/component/com_test_support.h"
#include "tests/platform/registry_scope.h"

namespace {

// Allocations left before the one that fails; negative: none fails.
std::atomic<long> allocationsLeft{-1};
std::atomic<bool> failed{false};

void* Allocate(std::size_t size) {
    if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Calls f with the n-th allocation failing, for n = 0, 1, ... until no
// allocation failed (every n up to 64, then every eighth or so: the registry
// calls allocate thousands of times). A call that lost an allocation must
// answer a failure, unless `mayStillSucceed` (see the unregistration below).
// Returns the number of allocations the call made, at least.
long UnderEveryFailure(const char* what, const std::function<HRESULT()>& f, bool mayStillSucceed = false) {
    SCOPED_TRACE(what);
    for (long n = 0; n < 100000; n += n < 64 ? 1 : n / 8) {
        failed = false;
        allocationsLeft = n;
        const HRESULT hr = f();
        allocationsLeft = -1;
        if (!failed) {
            EXPECT_EQ(hr, S_OK) << "with every allocation served";
            return n;
        }
        if (!mayStillSucceed) {
            EXPECT_TRUE(FAILED(hr)) << "allocation " << n << " failed, the call answered " << std::hex << hr;
        }
    }
    ADD_FAILURE() << "the call never ran through";
    return -1;
}

TEST(AllocationFailureTest, EveryEntryPointAnswersAnHResult) {
    RegistryScope registry;

    EXPECT_GE(UnderEveryFailure("DllRegisterServer", [] { return DllRegisterServer(); }), 1);

    host::ComPtr<IClassFactory> factory;
    UnderEveryFailure("DllGetClassObject", [&] {
        factory.reset();
        return DllGetClassObject(CLSID_LPTuner, IID_IClassFactory, factory.put_void());
    });
    ASSERT_TRUE(factory);

    host::ComPtr<IUnknown> object;
    EXPECT_GE(UnderEveryFailure("CreateInstance", [&] {
                  object.reset();
                  return factory->CreateInstance(nullptr, IID_IUnknown, object.put_void());
              }),
              1);
    ASSERT_TRUE(object);
    host::ComPtr<ILPTuner> tuner;
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(object.query(IID_ILPTuner, tuner), S_OK);
    ASSERT_EQ(object.query(IID_IPersistStream, persist), S_OK);

    host::Bstr longName = host::Str(OLESTR("A name long enough to need the heap"));
    UnderEveryFailure("put_Name", [&] { return tuner->put_Name(longName.get()); });
    UnderEveryFailure("get_Name", [&] {
        host::Bstr out;
        return tuner->get_Name(out.put());
    });

    // The IDispatch members load the registered type library on first use.
    UnderEveryFailure("GetIDsOfNames", [&] {
        LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Name"))};
        DISPID id = 0;
        return tuner->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    });
    UnderEveryFailure("Invoke", [&] {
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = tuner->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
        VariantClear(&result);
        return hr;
    });

    comtest::Encoder e;
    e.I32(2).Str("Stored name").I32(2).F64(0.1).F64(10).F64(0.5).I32(1).Str("Amp").Str("LTUNER1").I32(2);
    e.Str("Amp:Pout").Str("pout").Str("Amp:PAE").Str("pae").Str("loads:LPGPM").Str("");
    host::ComPtr<IStream> in = comtest::StreamOf(e.bytes);
    EXPECT_GE(UnderEveryFailure("Load", [&] {
                  LARGE_INTEGER zero{};
                  in->Seek(zero, STREAM_SEEK_SET, nullptr);
                  return persist->Load(in.get());
              }),
              1);
    host::ComPtr<IStream> out = comtest::NewStream();
    EXPECT_GE(UnderEveryFailure("Save", [&] {
                  ULARGE_INTEGER empty{};
                  out->SetSize(empty);
                  LARGE_INTEGER zero{};
                  out->Seek(zero, STREAM_SEEK_SET, nullptr);
                  return persist->Save(out.get(), TRUE);
              }),
              1);
    EXPECT_EQ(comtest::Contents(out.get()), e.bytes);

    tuner.reset();
    persist.reset();
    object.reset();
    factory.reset();
    // The registry layer answers an entry it could not read, for want of memory,
    // as one that is not there, which unregistration counts as removed: such a
    // call may succeed. It must still answer, and a later one removes the rest.
    EXPECT_GE(UnderEveryFailure("DllUnregisterServer", [] { return DllUnregisterServer(); }, true), 1);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(comtest::RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner"), "<missing>");
}

}  // namespace
