// Fault injection: failures with error information, stops, null answers, the k-th
// call, and the record of calls.
#include <stdexcept>

#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

class HostFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectBuilder(h)
            .Schematic("Amp")
            .Element("R1")
            .Element("LTUNER1", {{"Mag", 0.25}})
            .Element("C1")
            .Graph("Out")
            .Measurement("Amp", "Pout");
    }
    Host h;
};

TEST_F(HostFaults, FailureAnswersTheHresultWithItsDescriptionAndDoesNothing) {
    ComPtr<IVexaParameter> p = ParameterOf(h, 1, 2, OLESTR("Mag"));
    h.InjectFailure("Parameter.put_Value", 1, E_ACCESSDENIED, "The parameter is locked");
    EXPECT_EQ(p->put_Value(0.5), E_ACCESSDENIED);
    EXPECT_EQ(TakeErrorDescription(), "The parameter is locked");
    EXPECT_DOUBLE_EQ(h.project().schematics[0].elements[1].parameters[0].value, 0.25);
    // Only the first call was to fail.
    EXPECT_EQ(p->put_Value(0.5), S_OK);
    EXPECT_DOUBLE_EQ(h.project().schematics[0].elements[1].parameters[0].value, 0.5);

    // An out value is null after a failure.
    h.InjectFailure("Parameter.Name", 0, E_FAIL, "no name");
    BSTR name = SysAllocString(OLESTR("stale"));
    BSTR held = name;
    EXPECT_EQ(p->get_Name(&name), E_FAIL);
    EXPECT_EQ(name, nullptr);
    SysFreeString(held);
}

TEST_F(HostFaults, StopAndNullAnswerOnlyTheKthCallCountedFromTheInjection) {
    ComPtr<IVexaElements> elements = ElementsOf(h, 1);
    ComPtr<IVexaElement> e;
    EXPECT_EQ(elements->Item(host::Index(1), e.put()), S_OK);  // before the injection: not counted

    h.InjectStop("Elements.Item", 2);
    EXPECT_EQ(elements->Item(host::Index(1), e.put()), S_OK);
    EXPECT_TRUE(e);
    EXPECT_EQ(elements->Item(host::Index(2), e.put()), S_FALSE);
    EXPECT_FALSE(e);
    EXPECT_EQ(elements->Item(host::Index(3), e.put()), S_OK);
    EXPECT_TRUE(e);

    h.InjectNull("Elements.Item", 0);
    for (long i = 1; i <= 3; ++i) {
        EXPECT_EQ(elements->Item(host::Index(i), e.put()), S_OK);
        EXPECT_FALSE(e);
    }
    h.InjectNull("Elements.Count", 1);
    LONG count = 9;
    EXPECT_EQ(elements->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);

    h.ClearFaults();
    EXPECT_EQ(elements->Item(host::Index(1), e.put()), S_OK);
    EXPECT_TRUE(e);
}

TEST_F(HostFaults, StoppedCallsHaveNoEffect) {
    ComPtr<IVexaMeasurements> ms = MeasurementsOf(h, 1);
    h.InjectStop("Measurements.RemoveAll", 0);
    EXPECT_EQ(ms->RemoveAll(), S_FALSE);
    EXPECT_EQ(h.project().graphs[0].measurements.size(), 1u);

    ComPtr<IVexaSimulator> sim = host::Get(ProjectOf(h), &IVexaProject::get_Simulator);
    h.InjectStop("Simulator.Analyze", 1);
    EXPECT_EQ(sim->Analyze(0, -1), S_FALSE);
    EXPECT_EQ(h.AnalyzeCount(), 0);
    EXPECT_EQ(sim->Analyze(0, -1), S_OK);
    EXPECT_EQ(h.AnalyzeCount(), 1);
}

// A fault for a name that no member records could never fire: it is refused.
TEST_F(HostFaults, OnlyMembersOfTheModelTakeFaults) {
    EXPECT_THROW(h.InjectStop("Simulator.Analyse", 1), std::invalid_argument);
    EXPECT_THROW(h.InjectFailure("Parameter.put_value", 0, E_FAIL, ""), std::invalid_argument);
    EXPECT_THROW(h.InjectNull("Graphs.Item", -1), std::invalid_argument);
    EXPECT_TRUE(Host::IsMember("Parameter.put_Value"));
    EXPECT_TRUE(Host::IsMember("TypeInfo.GetTypeAttr"));
    EXPECT_FALSE(Host::IsMember("Parameter"));
}

TEST_F(HostFaults, EveryCallIsRecordedByNameFaultedOrNot) {
    h.ClearCalls();
    ComPtr<IVexaGraph> g = GraphAt(h, 1);
    h.InjectFailure("Graph.Name", 1, E_FAIL, "x");
    BSTR name = nullptr;
    EXPECT_EQ(g->get_Name(&name), E_FAIL);
    TakeErrorDescription();
    ComPtr<IVexaGraphSettings> settings = host::Get(g, &IVexaGraph::get_Settings);
    EXPECT_EQ(settings->put_Mode(0), S_OK);
    EXPECT_EQ(h.project().graphs[0].settingsMode, 0);

    const std::vector<std::string> expected = {"Application.Project", "Project.Graphs", "Graphs.Item",
                                               "Graph.Name",          "Graph.Settings", "GraphSettings.put_Mode"};
    EXPECT_EQ(h.Calls(), expected);
    EXPECT_EQ(h.CallCount("Graph.Name"), 1);
    EXPECT_EQ(h.CallCount("Graph.Type"), 0);
    h.ClearCalls();
    EXPECT_TRUE(h.Calls().empty());
}

}  // namespace
}  // namespace vexasim::test
