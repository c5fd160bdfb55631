#include <comdef.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "test_objects.h"

namespace {

typedef std::basic_string<OLECHAR> OleString;

// Makes error information with a description and a source; the caller owns the reference.
IErrorInfo* MakeErrorInfo(const OLECHAR* description) {
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(S_OK, CreateErrorInfo(&create));
    EXPECT_EQ(S_OK, create->SetDescription(const_cast<LPOLESTR>(description)));
    EXPECT_EQ(S_OK, create->SetSource(const_cast<LPOLESTR>(OLESTR("Test.Source"))));
    IErrorInfo* info = nullptr;
    EXPECT_EQ(S_OK, create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)));
    create->Release();
    return info;
}

OleString DescriptionOf(IErrorInfo* info) {
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, info->GetDescription(&text));
    OleString result = text ? OleString(text, SysStringLen(text)) : OleString();
    SysFreeString(text);
    return result;
}

}  // namespace

TEST(ErrorInfo, CreatedObjectKeepsWhatWasSet) {
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(S_OK, create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)));

    // Texts never set come back as null BSTRs.
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_OK, info->GetHelpFile(&text));
    EXPECT_EQ(nullptr, text);

    const GUID guid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(S_OK, create->SetGUID(guid));
    EXPECT_EQ(S_OK, create->SetDescription(const_cast<LPOLESTR>(OLESTR("it broke"))));
    EXPECT_EQ(S_OK, create->SetHelpContext(42));
    GUID got = GUID_NULL;
    EXPECT_EQ(S_OK, info->GetGUID(&got));
    EXPECT_TRUE(IsEqualGUID(guid, got));
    EXPECT_EQ(OleString(OLESTR("it broke")), DescriptionOf(info));
    DWORD context = 0;
    EXPECT_EQ(S_OK, info->GetHelpContext(&context));
    EXPECT_EQ(42u, context);

    // Both interfaces are one object.
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(S_OK, create->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)));
    ASSERT_EQ(S_OK, info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    info->Release();
    create->Release();
}

TEST(ErrorInfo, IsTakenOnceThenSFalse) {
    IErrorInfo* info = MakeErrorInfo(OLESTR("first"));
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

    // Setting again replaces (and releases) what the thread held; null clears it.
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    IErrorInfo* second = MakeErrorInfo(OLESTR("second"));
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
    TestErrorSource source(IID_IDispatch);
    IErrorInfo* info = MakeErrorInfo(OLESTR("host failure"));

    // Supported: the error carries the thread's error information, which is taken.
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    try {
        _com_issue_errorex(E_FAIL, &source, IID_IDispatch);
        ADD_FAILURE() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(E_FAIL, e.Error());
        EXPECT_STREQ("host failure", static_cast<const char*>(e.Description()));
        EXPECT_STREQ("Test.Source", static_cast<const char*>(e.Source()));
        IErrorInfo* carried = e.ErrorInfo();
        EXPECT_EQ(info, carried);
        carried->Release();
    }
    IErrorInfo* left = nullptr;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &left));
    EXPECT_EQ(1u, RefCount(info));
    EXPECT_EQ(1u, source.refs);

    // Another interface, or an object without ISupportErrorInfo: no error info, and the thread keeps it.
    TestUnknown plain;
    const struct {
        IUnknown* object;
        HRESULT hr;
    } cases[] = {{&source, E_NOINTERFACE}, {&plain, DISP_E_EXCEPTION}, {nullptr, E_POINTER}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, SetErrorInfo(0, info));
        try {
            _com_issue_errorex(c.hr, c.object, IID_IUnknown);
            ADD_FAILURE() << "no exception";
        } catch (const _com_error& e) {
            EXPECT_EQ(c.hr, e.Error());
            EXPECT_EQ(nullptr, e.ErrorInfo());
            EXPECT_TRUE(!e.Description());
            EXPECT_EQ(0u, e.Description().length());
        }
        ASSERT_EQ(S_OK, GetErrorInfo(0, &left));
        left->Release();
    }
    EXPECT_EQ(1u, RefCount(info));
    info->Release();
}

TEST(ComError, CopiesShareTheErrorInfoAndReportTheCode) {
    IErrorInfo* info = MakeErrorInfo(OLESTR("shared"));
    {
        _com_error original(E_INVALIDARG, info, true);
        EXPECT_EQ(2u, RefCount(info));
        _com_error copy(original);
        EXPECT_EQ(3u, RefCount(info));
        _com_error assigned(E_FAIL);
        assigned = copy;
        EXPECT_EQ(4u, RefCount(info));
        EXPECT_EQ(E_INVALIDARG, assigned.Error());
        EXPECT_NE(nullptr, assigned.ErrorMessage());
    }
    EXPECT_EQ(1u, RefCount(info));
    info->Release();

    try {
        _com_issue_error(E_OUTOFMEMORY);
        ADD_FAILURE() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(E_OUTOFMEMORY, e.Error());
        EXPECT_EQ(0, e.WCode());
    }
    // IDispatch exception codes map back to their wCode.
    EXPECT_EQ(5, _com_error(static_cast<HRESULT>(0x80040205)).WCode());
}

TEST(BstrT, SharesDataAndConvertsToUtf8) {
    _bstr_t none;
    EXPECT_TRUE(!none);
    EXPECT_EQ(nullptr, static_cast<const char*>(none));
    EXPECT_EQ(nullptr, static_cast<const OLECHAR*>(none));

    _bstr_t empty("");
    EXPECT_FALSE(!empty);
    EXPECT_EQ(0u, empty.length());
    EXPECT_TRUE(none == empty);  // compared as texts, a null string is empty

    _bstr_t text("h\xC3\xA9llo");  // five characters, one of them two UTF-8 bytes
    EXPECT_EQ(5u, text.length());
    EXPECT_EQ(OleString(OLESTR("h\u00E9llo")), OleString(static_cast<const OLECHAR*>(text)));
    EXPECT_STREQ("h\xC3\xA9llo", static_cast<const char*>(text));

    _bstr_t copy(text);
    EXPECT_EQ(static_cast<const OLECHAR*>(text), static_cast<const OLECHAR*>(copy));
    EXPECT_TRUE(copy == text);
    copy = OLESTR("other");
    EXPECT_TRUE(copy != text);
    EXPECT_STREQ("other", static_cast<const char*>(copy));
    EXPECT_STREQ("h\xC3\xA9llo", static_cast<const char*>(text));

    BSTR own = text.copy();
    EXPECT_NE(own, static_cast<BSTR>(text));
    _bstr_t attached(own, false);  // takes ownership of `own`
    EXPECT_TRUE(attached == text);

    // GetAddress serves as an out-parameter; Detach hands the BSTR to the caller.
    BSTR& slot = attached.GetAddress();
    EXPECT_EQ(nullptr, slot);
    slot = SysAllocString(OLESTR("filled"));
    EXPECT_STREQ("filled", static_cast<const char*>(attached));
    BSTR detached = attached.Detach();
    EXPECT_EQ(6u, SysStringLen(detached));
    EXPECT_TRUE(!attached);
    SysFreeString(detached);
}
