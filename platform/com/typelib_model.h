// Type libraries of the native layer. A module's type library is the IDL it was
// compiled from, kept in the module file's "lpt_typelib" ELF section (the native
// counterpart of the TYPELIB resource a Windows module carries), and read by
// LoadTypeLibEx into the description below.
//
// The IDL understood is the subset a small automation server uses: import and
// importlib statements (skipped: only IUnknown and IDispatch are known as bases),
// interfaces (object, dual, oleautomation, uuid, version, helpstring, hidden),
// methods and properties with id, propget, propput, helpstring and parameters
// [in] / [out, retval] of types BSTR, long, double and VARIANT_BOOL returning
// HRESULT, and a library holding coclasses and interfaces. Anything else is
// refused as a library that cannot be loaded.
#pragma once
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace platform::typelib {

struct Param {
    std::string name;
    VARTYPE vt = VT_EMPTY;  // VT_BSTR, VT_I4, VT_R8 or VT_BOOL
    bool pointer = false;
    bool out = false;
    bool retval = false;
};

struct Func {
    std::string name;
    MEMBERID id = MEMBERID_NIL;
    WORD invkind = DISPATCH_METHOD;  // DISPATCH_METHOD, _PROPERTYGET or _PROPERTYPUT
    std::vector<Param> params;
    std::string help;
    bool hasHelp = false;
    int vtableSlot = 0;  // index into the interface's vtable, base methods included
};

struct Type {
    TYPEKIND kind = TKIND_INTERFACE;  // TKIND_DISPATCH for a dual interface
    std::string name;
    GUID guid = GUID_NULL;
    std::string help;
    bool hasHelp = false;
    WORD major = 0, minor = 0;
    WORD flags = 0;
    std::string base;                 // IUnknown or IDispatch
    int baseSlots = 0;                // vtable entries of the base
    std::vector<Func> funcs;
    std::vector<std::string> impls;   // coclass: its interfaces, the default first
};

struct Library {
    std::string name;
    GUID guid = GUID_NULL;
    std::string help;
    bool hasHelp = false;
    WORD major = 0, minor = 0;
    LCID lcid = 0;
    std::vector<Type> types;
};

// Reads the IDL text; false (with a reason) for anything outside the subset.
bool ParseIdl(const std::string& text, Library& lib, std::string& error);

// The contents of a named section of an ELF file; false when the file cannot be
// read, is not ELF, or has no such section.
bool ReadElfSection(const std::string& path, const char* section, std::string& out);

// A new ITypeLib over the description.
HRESULT CreateTypeLib(Library lib, ITypeLib** out);

}  // namespace platform::typelib
