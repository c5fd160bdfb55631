// GUIDs of the standard interfaces and the braced text form of a GUID.
#include <objbase.h>

#include <cstring>

#include "platform/com/com_text.h"

using platform::kGuidChars;


const GUID GUID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};

#define LPT_OLE_IID(name, d1, d2) \
    const IID name = {d1, d2, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}

LPT_OLE_IID(IID_IUnknown, 0x00000000, 0x0000);
LPT_OLE_IID(IID_IClassFactory, 0x00000001, 0x0000);
LPT_OLE_IID(IID_IStream, 0x0000000C, 0x0000);
LPT_OLE_IID(IID_IPersist, 0x0000010C, 0x0000);
LPT_OLE_IID(IID_IPersistStream, 0x00000109, 0x0000);
LPT_OLE_IID(IID_IDispatch, 0x00020400, 0x0000);
LPT_OLE_IID(IID_ITypeInfo, 0x00020401, 0x0000);
LPT_OLE_IID(IID_ITypeLib, 0x00020402, 0x0000);
#undef LPT_OLE_IID

const IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

const char kHex[] = "0123456789ABCDEF";

// Writes `digits` upper-case hex digits of v, most significant first.
OLECHAR* PutHex(OLECHAR* out, uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) *out++ = static_cast<OLECHAR>(kHex[(v >> (4 * i)) & 0xF]);
    return out;
}

bool ReadHex(const OLECHAR*& in, int digits, uint32_t& v) {
    v = 0;
    for (int i = 0; i < digits; ++i, ++in) {
        const OLECHAR c = *in;
        uint32_t d;
        if (c >= u'0' && c <= u'9') d = c - u'0';
        else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
        else return false;
        v = (v << 4) | d;
    }
    return true;
}

bool Expect(const OLECHAR*& in, OLECHAR c) {
    if (*in != c) return false;
    ++in;
    return true;
}

// Parses exactly "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (either case of hex digits).
bool ParseBracedGuid(const OLECHAR* s, GUID& g) {
    uint32_t v;
    if (!Expect(s, u'{') || !ReadHex(s, 8, v)) return false;
    g.Data1 = v;
    if (!Expect(s, u'-') || !ReadHex(s, 4, v)) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!Expect(s, u'-') || !ReadHex(s, 4, v)) return false;
    g.Data3 = static_cast<uint16_t>(v);
    if (!Expect(s, u'-')) return false;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(s, u'-')) return false;
        if (!ReadHex(s, 2, v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    return Expect(s, u'}') && *s == 0;
}

}  // namespace

extern "C" int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < kGuidChars) return 0;
    OLECHAR* p = lpsz;
    *p++ = u'{';
    p = PutHex(p, rguid.Data1, 8);
    *p++ = u'-';
    p = PutHex(p, rguid.Data2, 4);
    *p++ = u'-';
    p = PutHex(p, rguid.Data3, 4);
    *p++ = u'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) *p++ = u'-';
        p = PutHex(p, rguid.Data4[i], 2);
    }
    *p++ = u'}';
    *p = 0;
    return kGuidChars;
}

// A string that is not a braced GUID would be looked up as a ProgID on Windows;
// this layer keeps ProgIDs to CLSIDFromProgID and refuses such text here.
extern "C" HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    *pclsid = GUID_NULL;
    if (!lpsz || !*lpsz) return S_OK;
    GUID g;
    if (!ParseBracedGuid(lpsz, g)) return CO_E_CLASSSTRING;
    *pclsid = g;
    return S_OK;
}
