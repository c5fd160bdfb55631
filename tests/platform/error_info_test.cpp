#include <comdef.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include "test_objects.h"

namespace {

// Error information with a description and a source; the caller owns the reference.
IErrorInfo* MakeErrorInfo(const OLECHAR* description) {
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetSource(const_cast<LPOLESTR>(OLESTR("Test.Source")));
    IErrorInfo* info = nullptr;
    EXPECT_EQ(S_OK, create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)));
    create->Release();
    return info;
}

}  // namespace

TEST(ErrorInfo, IsTakenOnceThenSFalse) {
    IErrorInfo* info = MakeErrorInfo(OLESTR("first"));
    BSTR help = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_OK, info->GetHelpFile(&help));  // never set: a null BSTR
    EXPECT_EQ(nullptr, help);

    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    EXPECT_EQ(2u, RefCount(info));  // the thread holds its own reference
    IErrorInfo* taken = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &taken));
    EXPECT_EQ(info, taken);
    EXPECT_EQ(2u, RefCount(info));  // handed over, not added
    taken->Release();
    taken = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &taken));
    EXPECT_EQ(nullptr, taken);

    // Setting again releases what the thread held; null clears it.
    IErrorInfo* second = MakeErrorInfo(OLESTR("second"));
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    ASSERT_EQ(S_OK, SetErrorInfo(0, second));
    EXPECT_EQ(1u, RefCount(info));
    ASSERT_EQ(S_OK, SetErrorInfo(0, nullptr));
    EXPECT_EQ(1u, RefCount(second));
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &taken));

    EXPECT_EQ(E_INVALIDARG, GetErrorInfo(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, CreateErrorInfo(nullptr));
    second->Release();
    info->Release();
}

TEST(ComError, IssueErrorExTakesErrorInfoOnlyWhenTheInterfaceSupportsIt) {
    TestObject source(&IID_IDispatch);
    IErrorInfo* info = MakeErrorInfo(OLESTR("host failure"));
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    try {
        _com_issue_errorex(E_FAIL, &source, IID_IDispatch);
        ADD_FAILURE() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(E_FAIL, e.Error());
        IErrorInfo* carried = e.ErrorInfo();  // the thread's, with a reference added
        EXPECT_EQ(info, carried);
        EXPECT_EQ(3u, RefCount(info));
        carried->Release();
        _com_error copy(e);  // copies share the reference
        EXPECT_EQ(3u, RefCount(info));
    }
    IErrorInfo* left = nullptr;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &left));  // taken by the exception
    EXPECT_EQ(1u, RefCount(info));
    EXPECT_EQ(1u, source.refs);

    // Another interface, an object without ISupportErrorInfo, or none: the thread keeps it.
    TestObject plain;
    IUnknown* objects[] = {&source, &plain, nullptr};
    for (IUnknown* object : objects) {
        ASSERT_EQ(S_OK, SetErrorInfo(0, info));
        try {
            _com_issue_errorex(DISP_E_EXCEPTION, object, IID_IUnknown);
            ADD_FAILURE() << "no exception";
        } catch (const _com_error& e) {
            EXPECT_EQ(DISP_E_EXCEPTION, e.Error());
            EXPECT_EQ(nullptr, e.ErrorInfo());
        }
        ASSERT_EQ(S_OK, GetErrorInfo(0, &left));
        left->Release();
    }
    EXPECT_EQ(1u, RefCount(info));
    info->Release();
}
