#include "host/call.h"

#include <cstring>

namespace host {

const char* const kProjectName = "Tessary";

VARIANT Index(long i) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = static_cast<LONG>(i);
    return v;
}

Variant NameIndex(const OLECHAR* name) {
    Variant v;
    Bstr s = Str(name);
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = s.release();
    return v;
}

Variant DispatchArg(IDispatch* object) {
    Variant v;
    V_VT(v.get()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = object;
    if (object) object->AddRef();
    return v;
}

Bstr Str(const OLECHAR* s) {
    if (!s) return Bstr();
    BSTR b = SysAllocString(s);
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    return Bstr::Attach(b);
}

Bstr Copy(BSTR s) {
    if (!s) return Bstr();
    BSTR b = SysAllocStringLen(s, SysStringLen(s));
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    return Bstr::Attach(b);
}

bool Equal(BSTR a, BSTR b) {
    if (!a || !b) return a == b;
    UINT n = SysStringLen(a);
    return n == SysStringLen(b) && std::memcmp(a, b, n * sizeof(OLECHAR)) == 0;
}

bool Equal(BSTR a, const OLECHAR* literal) {
    if (!a || !literal) return static_cast<const OLECHAR*>(a) == literal;
    UINT n = SysStringLen(a);
    UINT i = 0;
    for (; i < n; ++i)
        if (literal[i] == 0 || literal[i] != a[i]) return false;
    return literal[i] == 0;
}

Bstr DisplayName(IVexaMeasurement* m) {
    Bstr source = Get(m, &IVexaMeasurement::get_Source);
    Bstr name = Get(m, &IVexaMeasurement::get_Name);
    UINT ns = source.length(), nn = name.length();
    BSTR b = SysAllocStringLen(nullptr, ns + 1 + nn);
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    if (ns) std::memcpy(b, source.get(), ns * sizeof(OLECHAR));
    b[ns] = OLECHAR(':');
    if (nn) std::memcpy(b + ns + 1, name.get(), nn * sizeof(OLECHAR));
    return Bstr::Attach(b);
}

bool ToAnsi(BSTR s, std::string& out) {
    out.clear();
    int n = static_cast<int>(SysStringLen(s));
    if (n == 0) return true;
    // Converted exactly when the text converts back to the same code units: this holds
    // for a legacy code page (which puts in a default character) and for a UTF-8 one
    // (which puts in U+FFFD, and takes no question about default characters) alike.
    int size = WideCharToMultiByte(CP_ACP, 0, s, n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string r(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, s, n, &r[0], size, nullptr, nullptr) != size) return false;
    int back = MultiByteToWideChar(CP_ACP, 0, r.data(), size, nullptr, 0);
    if (back != n) return false;
    std::basic_string<OLECHAR> wide(static_cast<size_t>(back), OLECHAR(0));
    if (MultiByteToWideChar(CP_ACP, 0, r.data(), size, &wide[0], back) != back ||
        wide.compare(0, wide.size(), s, static_cast<size_t>(n)) != 0)
        return false;
    out.swap(r);
    return true;
}

std::string ToAnsiLossy(BSTR s) {
    std::string out;
    int n = static_cast<int>(SysStringLen(s));
    if (n == 0) return out;
    int size = WideCharToMultiByte(CP_ACP, 0, s, n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return out;
    out.assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, n, &out[0], size, nullptr, nullptr);
    return out;
}

Bstr FromAnsi(const char* s) {
    if (!s) return Bstr();
    int len = static_cast<int>(std::strlen(s));
    if (len == 0) return Str(OLESTR(""));
    int n = MultiByteToWideChar(CP_ACP, 0, s, len, nullptr, 0);
    if (n <= 0) _com_issue_error(E_INVALIDARG);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, s, len, b, n);
    return Bstr::Attach(b);
}

Bstr FromAnsi(const std::string& s) { return FromAnsi(s.c_str()); }

long ShowHostError(const _com_error& e) {
    std::string text;
    ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(e.ErrorInfo());
    if (info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.put()))) text = ToAnsiLossy(description.get());
    }
    MessageBoxA(nullptr, text.c_str(), kProjectName, MB_OK);
    return e.Error();
}

}  // namespace host
