// Calling the host: every call goes through these wrappers. A failed HRESULT
// throws _com_error carrying the host's error description (from its error info),
// a null object to be called throws E_POINTER, a string that cannot be allocated
// E_OUTOFMEMORY. Success codes are handed back, so a caller that cares about S_FALSE
// ("stop") sees it.
//
//   ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
//   LONG n = host::Get(graphs, &IVexaGraphs::get_Count);
//   auto item = host::GetS(elements, &IVexaElements::Item, host::Index(j));  // item.hr may be S_FALSE
//   if (host::Call(window, &IVexaWindow::Activate) == S_FALSE) return 1;
#pragma once
#include <comdef.h>

#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "host/com_ptr.h"
#include "host/vexa.h"

namespace host {

// What an out-parameter of type T* is held in after the call.
template <class T>
struct Owned {
    using type = T;
    static T* out(type& v) { return &v; }
};
template <class I>
struct Owned<I*> {
    using type = ComPtr<I>;
    static I** out(type& v) { return v.put(); }
};
template <>
struct Owned<BSTR> {
    using type = Bstr;
    static BSTR* out(type& v) { return v.put(); }
};

template <class M>
struct MethodTraits;
template <class C, class... P>
struct MethodTraits<HRESULT (STDMETHODCALLTYPE C::*)(P...)> {
    using Out = std::remove_pointer_t<std::tuple_element_t<sizeof...(P) - 1, std::tuple<P...>>>;
};
template <class M>
using OutOf = typename Owned<typename MethodTraits<M>::Out>::type;

// A value with the HRESULT of the call that produced it (S_OK or S_FALSE).
template <class T>
struct Result {
    HRESULT hr;
    T value;
    bool stopped() const { return hr == S_FALSE; }
};

template <class I>
[[noreturn]] void Raise(HRESULT hr, I* p) {
    _com_issue_errorex(hr, p, IidOf<I>());
    throw _com_error(hr);  // not reached; not every SDK declares the issuer noreturn
}

template <class I>
I* Need(I* p) {
    if (!p) _com_issue_error(E_POINTER);
    return p;
}
template <class I>
I* Need(const ComPtr<I>& p) {
    return Need(p.get());
}

// A call without an out value. Returns the success code (S_OK, S_FALSE).
template <class P, class M, class... A>
HRESULT Call(const P& p, M m, A&&... a) {
    auto* obj = Need(p);
    HRESULT hr = (obj->*m)(std::forward<A>(a)...);
    if (FAILED(hr)) Raise(hr, obj);
    return hr;
}

// A call whose last parameter is an out value; returns the value and the success code.
template <class P, class M, class... A>
Result<OutOf<M>> GetS(const P& p, M m, A&&... a) {
    using Out = typename MethodTraits<M>::Out;
    auto* obj = Need(p);
    Result<OutOf<M>> r{S_OK, OutOf<M>{}};
    r.hr = (obj->*m)(std::forward<A>(a)..., Owned<Out>::out(r.value));
    if (FAILED(r.hr)) Raise(r.hr, obj);
    return r;
}

// The same when S_FALSE does not matter to the caller.
template <class P, class M, class... A>
OutOf<M> Get(const P& p, M m, A&&... a) {
    return GetS(p, m, std::forward<A>(a)...).value;
}

// An owned VARIANT, cleared when it goes out of scope; passed to the host by value.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant& operator=(Variant&&) = delete;
    operator VARIANT() const { return v_; }
    VARIANT* get() { return &v_; }

private:
    VARIANT v_;
};

// A 1-based collection index.
VARIANT Index(long i);
// A name index (VT_BSTR); E_OUTOFMEMORY when it cannot be allocated.
Variant NameIndex(const OLECHAR* name);
// A VT_DISPATCH argument holding a counted reference.
Variant DispatchArg(IDispatch* object);

// A new BSTR copy of a literal or string; null stays null. Throws E_OUTOFMEMORY.
Bstr Str(const OLECHAR* s);
Bstr Copy(BSTR s);
// Exact comparison: same length and code units, case-sensitive; null equals only null.
bool Equal(BSTR a, BSTR b);
bool Equal(BSTR a, const OLECHAR* literal);
// Display name of a measurement: its source, ":" and its name.
Bstr DisplayName(IVexaMeasurement* m);

// Conversion between COM strings and the ANSI code page. ToAnsi fails (returns false)
// for a string that cannot be converted exactly; a null string converts to "".
bool ToAnsi(BSTR s, std::string& out);
std::string ToAnsiLossy(BSTR s);
Bstr FromAnsi(const char* s);  // throws E_OUTOFMEMORY
Bstr FromAnsi(const std::string& s);

// The caption of the wizard's own host-error boxes (the module's project name).
extern const char* const kProjectName;

// Shows a host error the way every operation does: a box without owner, captioned
// with the project name, OK only, holding the host's description. Returns the HRESULT.
long ShowHostError(const _com_error& e);

// The catch-at-the-top convention of the operations: a host error is shown and its
// HRESULT returned; any other exception returns E_FAIL without a message.
template <class F>
long Guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const _com_error& e) {
        return ShowHostError(e);
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace host
