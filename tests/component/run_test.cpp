// Run against the stand-in host: the host checks, the error reporting, and the
// release of every host reference on every path.
#include <gtest/gtest.h>

#include <string>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "platform/automation/input_source.h"
#include "vexasim/host.h"

namespace {

struct RunResult {
    HRESULT hr;
    VARIANT_BOOL flag;
};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        vexasim::ProjectBuilder(host)
            .Schematic("Amp")
            .Element("LTUNER1", {{0, "Mag", 0.1}, {0, "Ang", 0.2}})
            .Graph("Out", 3)
            .Measurement("Amp", "Pout", 1, 13);
        host.SetMainWindowHandle(4242);
    }
    void TearDown() override { EXPECT_EQ(host.ExternalReferences(), 0); }

    RunResult RunOnce() {
        auto* wizard = new CLPTunerWizard();
        RunResult r{S_OK, 0x1234};
        {
            host::ComPtr<IDispatch> app = host.ApplicationDispatch();
            r.hr = wizard->Run(app.get(), &r.flag);
        }
        wizard->Release();
        return r;
    }

    static std::string TakeErrorDescription(std::string* source = nullptr) {
        host::ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.put()) != S_OK || !info) return "<none>";
        host::Bstr text, src;
        info->GetDescription(text.put());
        info->GetSource(src.put());
        if (source) *source = host::ToAnsiLossy(src.get());
        return host::ToAnsiLossy(text.get());
    }

    bool HasGraph(const std::string& name) {
        for (const auto& g : host.project().graphs)
            if (g.name == name) return true;
        return false;
    }

    vexasim::Host host;
    platform::RecordingInputSource user;
    platform::ScopedInputSource scope{user};
};

TEST_F(RunTest, RefusesHostsOlderThanFiveWithErrorInfo) {
    struct Case {
        WORD major, minor;
        bool refused;
    };
    for (Case c : {Case{4, 9, true}, Case{4, 12, true}, Case{5, 0, false}, Case{5, 10, false}, Case{6, 1, false}}) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        host.SetTypeInfoVersion(c.major, c.minor);
        SetErrorInfo(0, nullptr);
        RunResult r = RunOnce();
        EXPECT_EQ(r.flag, VARIANT_TRUE);
        if (c.refused) {
            EXPECT_EQ(r.hr, E_FAIL);
            std::string source;
            EXPECT_EQ(TakeErrorDescription(&source), "This wizard requires Vexa 5.0 or greater.");
            EXPECT_EQ(source, "Tessary.LPTuner.1");
            EXPECT_EQ(host.CallCount("Project.Refresh"), 0);
        } else {
            EXPECT_EQ(r.hr, S_OK);
            EXPECT_EQ(TakeErrorDescription(), "<none>");
            EXPECT_GT(host.CallCount("Project.Refresh"), 0);
        }
        EXPECT_EQ(host.ExternalReferences(), 0);
        host.ClearCalls();
    }
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(RunTest, HostWithoutTypeInformationCountsAsVersionZero) {
    host.SetTypeInfoAvailable(false);
    RunResult r = RunOnce();
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.flag, VARIANT_TRUE);
    EXPECT_EQ(TakeErrorDescription(), "This wizard requires Vexa 5.0 or greater.");
}

TEST_F(RunTest, FailingMainWindowHandleShowsTheHostsDescription) {
    host.InjectFailure("Application.MainWindowHandle", 1, E_ACCESSDENIED, "No main window here");
    RunResult r = RunOnce();
    EXPECT_EQ(r.hr, E_ACCESSDENIED);
    EXPECT_EQ(r.flag, VARIANT_TRUE);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].caption, "Tessary");
    EXPECT_EQ(user.boxes[0].text, "No main window here");
    EXPECT_EQ(user.boxes[0].owner, nullptr);
    EXPECT_EQ(user.boxes[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(host.CallCount("Project.Refresh"), 0);
}

// The cancelled flag is set before anything is checked: a host that reads it
// after a refused call sees "cancelled", never what it held before.
TEST_F(RunTest, NullHostOrFlagIsRefusedAfterTheFlagIsSet) {
    auto* wizard = new CLPTunerWizard();
    VARIANT_BOOL flag = 0x1234;
    EXPECT_EQ(wizard->Run(nullptr, &flag), E_POINTER);
    EXPECT_EQ(flag, VARIANT_TRUE);
    host::ComPtr<IDispatch> app = host.ApplicationDispatch();
    EXPECT_EQ(wizard->Run(app.get(), nullptr), E_POINTER);
    app.reset();
    wizard->Release();
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(RunTest, FailedInitialisationShowsBothBoxesAndRemovesThePointsGraph) {
    // A points graph left behind by an earlier run goes too.
    vexasim::ProjectBuilder(host).Graph("Load Pull Points", 2);
    ASSERT_TRUE(HasGraph("Load Pull Points"));
    host.InjectFailure("Elements.Item", 1, E_UNEXPECTED, "Element list is corrupt");
    RunResult r = RunOnce();
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.flag, VARIANT_TRUE);
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(user.boxes[0].caption, "Tessary");
    EXPECT_EQ(user.boxes[0].text, "Element list is corrupt");
    EXPECT_EQ(user.boxes[1].caption, "Error!");
    EXPECT_EQ(user.boxes[1].text, "C++ COM ERROR - Problems initializing project");
    EXPECT_EQ(user.boxes[1].owner, reinterpret_cast<HWND>(static_cast<INT_PTR>(4242)));
    EXPECT_EQ(user.boxes[1].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(HasGraph("Load Pull Points"));
}

TEST_F(RunTest, FailedFinishShowsItsOwnText) {
    // The first phase only lists; the graph collection is first needed in the second.
    host.InjectFailure("Project.Graphs", 0, E_FAIL, "Graphs unavailable");
    RunResult r = RunOnce();
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.flag, VARIANT_TRUE);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_EQ(user.boxes.back().text, "C++ COM ERROR - Problems finishing project set-up");
    EXPECT_EQ(user.boxes.back().caption, "Error!");
}

}  // namespace
