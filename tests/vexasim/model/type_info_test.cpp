// The application's type information, from which the wizard reads the host's version.
#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

std::pair<WORD, WORD> Version(Host& h) {
    ComPtr<IDispatch> app = h.ApplicationDispatch();
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(app->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
    if (!attr) return {0, 0};
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IVexaApplication));
    std::pair<WORD, WORD> v{attr->wMajorVerNum, attr->wMinorVerNum};
    EXPECT_EQ(h.ExternalReferences(), 3);  // application, type info and the attributes
    info->ReleaseTypeAttr(attr);
    return v;
}

TEST(HostTypeInfo, ReportsTheVersionSet) {
    Host h;
    EXPECT_EQ(Version(h), (std::pair<WORD, WORD>{5, 0}));
    h.SetTypeInfoVersion(5, 10);
    EXPECT_EQ(Version(h), (std::pair<WORD, WORD>{5, 10}));
    h.SetTypeInfoVersion(4, 12);
    EXPECT_EQ(Version(h), (std::pair<WORD, WORD>{4, 12}));
    EXPECT_EQ(h.ExternalReferences(), 0);
    EXPECT_EQ(h.CallCount("Application.GetTypeInfo"), 3);
}

TEST(HostTypeInfo, AbsentTypeInformationIsRefused) {
    Host h;
    ComPtr<IDispatch> app = h.ApplicationDispatch();
    UINT count = 0;
    EXPECT_EQ(app->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(app->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    TakeErrorDescription();

    h.SetTypeInfoAvailable(false);
    EXPECT_EQ(app->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(app->GetTypeInfo(0, 0, info.put()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_FALSE(info);
    EXPECT_FALSE(TakeErrorDescription().empty());
    app.reset();
    EXPECT_EQ(h.ExternalReferences(), 0);
}

}  // namespace
}  // namespace vexasim::test
