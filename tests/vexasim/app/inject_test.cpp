// --inject specs: what each form arms in the host, and what is refused before
// anything runs.
#include "vexasim/app/inject.h"

#include <gtest/gtest.h>

#include <string>

#include "host/call.h"

namespace vexasim {
namespace {

TEST(InjectSpec, EachFormArmsTheHostsOwnFault) {
    struct Case {
        const char* spec;
        Injection::Kind kind;
        HRESULT hr;
        int call;
        const char* description;
    };
    const Case cases[] = {
        {"Simulator.Analyze@10=S_FALSE", Injection::Kind::Stop, S_FALSE, 10, ""},
        {"Simulator.Analyze=0x00000001", Injection::Kind::Stop, S_FALSE, 0, ""},
        {"DataFiles.Add=0x80004005:Disk: full", Injection::Kind::Failure, E_FAIL, 0, "Disk: full"},
        {"Parameter.put_Value@2=0X8007000e:", Injection::Kind::Failure, E_OUTOFMEMORY, 2, ""},
        {"Graphs.Item@3=NULL", Injection::Kind::Null, S_OK, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        Injection injection;
        std::string error;
        ASSERT_TRUE(ParseInjection(c.spec, injection, error)) << error;
        EXPECT_EQ(injection.kind, c.kind);
        EXPECT_EQ(injection.hr, c.hr);
        EXPECT_EQ(injection.call, c.call);
        EXPECT_EQ(injection.description, c.description);
    }

    // Armed, the faults answer as the host's own injection does.
    Host host;
    ProjectBuilder(host).Schematic("Amp").Element("LTUNER1", {{"Mag", 0.5}});
    Injection fail, stop;
    std::string error;
    ASSERT_TRUE(ParseInjection("Schematics.Count@2=0x80070005:Schematics are locked", fail, error));
    ASSERT_TRUE(ParseInjection("Project.Refresh=S_FALSE", stop, error));
    Inject(host, fail);
    Inject(host, stop);
    host::ComPtr<IVexaProject> project = host::Get(host.Application(), &IVexaApplication::get_Project);
    host::ComPtr<IVexaSchematics> schematics = host::Get(project, &IVexaProject::get_Schematics);
    LONG count = 0;
    EXPECT_EQ(schematics->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(schematics->get_Count(&count), E_ACCESSDENIED);
    host::ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    host::Bstr description;
    info->GetDescription(description.put());
    EXPECT_EQ(host::ToAnsiLossy(description.get()), "Schematics are locked");
    EXPECT_EQ(project->Refresh(), S_FALSE);
    EXPECT_EQ(project->Refresh(), S_FALSE);
}

TEST(InjectSpec, MalformedSpecsAreRefusedWithWhatWasExpected) {
    struct Case {
        const char* spec;
        const char* message;
    };
    const Case cases[] = {
        {"Simulator.Analyze", "--inject takes OBJECT.MEMBER[@N]=RESULT[:DESCRIPTION]"},
        {"Simulator.Analyse=S_FALSE", "the host has no member \"Simulator.Analyse\"; members that can be named:"},
        {"=S_FALSE", "the host has no member \"\""},
        {"Simulator.Analyze@0=S_FALSE", "the call number after @ is a whole number from 1 on, not \"0\""},
        {"Simulator.Analyze@x=S_FALSE", "not \"x\""},
        {"Simulator.Analyze@-1=S_FALSE", "not \"-1\""},
        {"Simulator.Analyze@99999999999=S_FALSE", "not \"99999999999\""},
        {"Simulator.Analyze=S_OK", "not \"S_OK\""},
        {"Simulator.Analyze=0x0", "not \"0x0\""},
        {"Simulator.Analyze=0x800040051", "not \"0x800040051\""},
        {"Simulator.Analyze=80004005", "not \"80004005\""},
        {"Simulator.Analyze=0x8000400G", "not \"0x8000400G\""},
        {"Simulator.Analyze=S_FALSE:why", "only a failure carries a description"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        Injection injection;
        std::string error;
        EXPECT_FALSE(ParseInjection(c.spec, injection, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    // The list names every member the host has.
    Injection injection;
    std::string error;
    ParseInjection("Nothing.Here=S_FALSE", injection, error);
    for (const std::string& member : Host::Members()) EXPECT_NE(error.find(" " + member), std::string::npos) << member;
}

}  // namespace
}  // namespace vexasim
