// What the module's type library says of itself: the names, DISPIDs, versions and
// help strings of lptuner.idl. The same test runs natively, where the platform
// layer reads the IDL the module carries, and on Windows, where oleaut32 reads the
// library widl compiled into the DLL: the two descriptions must agree.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "host/com_ptr.h"
#include "lptuner_h.h"
#include "tests/windows/module_path.h"

namespace {

std::string Text(BSTR s) {
    std::string out;
    for (UINT i = 0; s && i < SysStringLen(s); ++i) out += static_cast<char>(s[i]);
    return s ? out : "<null>";
}

struct Documentation {
    std::string name, help;
};

Documentation Document(ITypeInfo* info, MEMBERID member) {
    host::Bstr name, help;
    EXPECT_EQ(info->GetDocumentation(member, name.put(), help.put(), nullptr, nullptr), S_OK);
    return {Text(name.get()), Text(help.get())};
}

TEST(TypeLibraryDescription, NamesDispidsVersionsAndHelpStrings) {
    host::ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(TestedModulePath().c_str(), REGKIND_NONE, lib.put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_TessaryLib));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(attr);
    host::Bstr name, help;
    ASSERT_EQ(lib->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name.get()), "TessaryLib");
    EXPECT_EQ(Text(help.get()), "Tessary 1.0 Type Library");
    EXPECT_EQ(lib->GetTypeInfoCount(), 2u);

    host::ComPtr<ITypeInfo> coclass, itf;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_LPTuner, coclass.put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(type);
    const Documentation c = Document(coclass.get(), MEMBERID_NIL);
    EXPECT_EQ(c.name, "LPTuner");
    EXPECT_EQ(c.help, "LPTuner Class");

    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ILPTuner, itf.put()), S_OK);
    ASSERT_EQ(itf->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    itf->ReleaseTypeAttr(type);
    const Documentation i = Document(itf.get(), MEMBERID_NIL);
    EXPECT_EQ(i.name, "ILPTuner");
    EXPECT_EQ(i.help, "ILPTuner Interface");

    // Name is DISPID 1, found without regard to case; nothing else is.
    OLECHAR exact[] = OLESTR("Name"), lower[] = OLESTR("name"), other[] = OLESTR("Run");
    for (OLECHAR* n : {exact, lower}) {
        MEMBERID id = MEMBERID_NIL;
        LPOLESTR names[] = {n};
        ASSERT_EQ(itf->GetIDsOfNames(names, 1, &id), S_OK);
        EXPECT_EQ(id, 1);
    }
    MEMBERID id = 0;
    LPOLESTR names[] = {other};
    EXPECT_EQ(itf->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Document(itf.get(), 1).name, "Name");
    host::Bstr none;
    EXPECT_EQ(itf->GetDocumentation(2, none.put(), nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
}

}  // namespace
