// The simulator: variables bound to parameters, and analyses through the evaluator.
#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

class HostSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectBuilder(h)
            .Schematic("Amp")
            .Element("LTUNER1", {{"Mag", 0.1}, {"Ang", 0.2}})
            .Graph("Out")
            .Measurement("Amp", "Pout", 1, 13)
            .Measurement("Amp", "Gamma", 2)
            .Measurement("data", "Col", 1)
            .Graph("Other")
            .Measurement("Amp", "Pout", 1, 13);
        sim = host::Get(ProjectOf(h), &IVexaProject::get_Simulator);
    }
    HRESULT Bind(const OLECHAR* name, IDispatch* object) {
        return sim->AddVariable(host::Str(name).get(), host::DispatchArg(object));
    }
    HRESULT Set(const OLECHAR* name, double value) { return sim->SetVariable(host::Str(name).get(), value); }
    ParameterData& Param(size_t i) { return h.project().schematics[0].elements[0].parameters[i]; }

    Host h;
    ComPtr<IVexaSimulator> sim;
};

TEST_F(HostSimulator, VariablesBindToParametersWithoutHoldingThem) {
    ComPtr<IVexaParameter> mag = ParameterOf(h, 1, 1, OLESTR("Mag"));
    ComPtr<IVexaParameter> ang = ParameterOf(h, 1, 1, OLESTR("Ang"));
    ASSERT_EQ(Bind(OLESTR("TMag"), mag.get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("TAng"), ang.get()), S_OK);
    mag.reset();
    ang.reset();
    sim.reset();
    EXPECT_EQ(h.ExternalReferences(), 0);

    sim = host::Get(ProjectOf(h), &IVexaProject::get_Simulator);
    EXPECT_EQ(Set(OLESTR("TMag"), 0.7), S_OK);
    EXPECT_EQ(Set(OLESTR("TAng"), -1.5), S_OK);
    EXPECT_DOUBLE_EQ(Param(0).value, 0.7);
    EXPECT_DOUBLE_EQ(Param(1).value, -1.5);
    EXPECT_EQ(h.BoundParameter("TMag"), &Param(0));
    EXPECT_EQ(h.BoundParameter("tmag"), nullptr);
}

TEST_F(HostSimulator, OnlyParametersCanBeBoundAndOnlyBoundNamesSet) {
    EXPECT_EQ(Set(OLESTR("TMag"), 0.5), E_INVALIDARG);
    EXPECT_NE(TakeErrorDescription().find("TMag"), std::string::npos);

    ComPtr<IVexaGraph> graph = GraphAt(h, 1);
    EXPECT_EQ(Bind(OLESTR("TMag"), graph.get()), E_INVALIDARG);
    TakeErrorDescription();
    EXPECT_EQ(Bind(OLESTR("TMag"), nullptr), E_INVALIDARG);
    TakeErrorDescription();
    EXPECT_EQ(sim->AddVariable(host::Str(OLESTR("TMag")).get(), host::Index(1)), E_INVALIDARG);
    TakeErrorDescription();
    EXPECT_TRUE(h.project().variables.empty());

    // A parameter of another host is not one of ours.
    Host other;
    ProjectBuilder(other).Schematic("S").Element("E", {{"Mag", 0}});
    EXPECT_EQ(Bind(OLESTR("TMag"), ParameterOf(other, 1, 1, OLESTR("Mag")).get()), E_INVALIDARG);
    TakeErrorDescription();

    // A bound parameter that was removed cannot be set.
    ASSERT_EQ(Bind(OLESTR("TMag"), ParameterOf(h, 1, 1, OLESTR("Mag")).get()), S_OK);
    h.project().schematics[0].elements[0].parameters.clear();
    EXPECT_EQ(Set(OLESTR("TMag"), 0.5), E_FAIL);
    EXPECT_EQ(TakeErrorDescription(), "The parameter no longer exists");
    EXPECT_EQ(h.BoundParameter("TMag"), nullptr);
}

TEST_F(HostSimulator, AnalyzeEvaluatesRealMeasurementsOfSchematics) {
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);  // no evaluator: values stay as they are
    EXPECT_EQ(h.AnalyzeCount(), 1);
    EXPECT_TRUE(h.project().graphs[0].measurements[0].points.empty());

    std::vector<std::string> evaluated;
    h.SetEvaluator([&](const ProjectData& p, const MeasurementData& m) {
        evaluated.push_back(m.name);
        const double mag = p.schematics[0].elements[0].parameters[0].value;
        return 10.0 * mag;
    });
    ASSERT_EQ(Bind(OLESTR("TMag"), ParameterOf(h, 1, 1, OLESTR("Mag")).get()), S_OK);
    ASSERT_EQ(Set(OLESTR("TMag"), 0.5), S_OK);
    h.project().graphs[1].measurements[0].points = {{7, 8}, {9, 9}};
    ASSERT_EQ(sim->Analyze(-1, -1), S_OK);
    EXPECT_EQ(h.AnalyzeCount(), 2);
    EXPECT_EQ(evaluated, (std::vector<std::string>{"Pout", "Pout"}));

    const auto& out = h.project().graphs[0].measurements;
    ASSERT_EQ(out[0].points.size(), 1u);  // an empty measurement gets its one point
    EXPECT_DOUBLE_EQ(out[0].points[0].first, 5.0);
    EXPECT_TRUE(out[1].points.empty());  // complex: not evaluated
    EXPECT_TRUE(out[2].points.empty());  // its source is no schematic
    const auto& other = h.project().graphs[1].measurements[0].points;
    ASSERT_EQ(other.size(), 2u);
    EXPECT_DOUBLE_EQ(other[0].first, 5.0);
    EXPECT_DOUBLE_EQ(other[0].second, 8.0);
    EXPECT_DOUBLE_EQ(other[1].first, 9.0);

    EXPECT_DOUBLE_EQ(host::Get(MeasurementAt(h, 1, 1), &IVexaMeasurement::get_Value, 1, 1), 5.0);
}

// Each analysis that ran is kept with the settings of the tuners a variable set
// since the one before, as the tuner's own parameters hold them; other elements'
// parameters and analyses without a new setting carry none.
TEST_F(HostSimulator, AnalysesRecordTheTunerSettingsTheyRanAt) {
    h.project().schematics[0].elements.push_back({0, "HBTUNER2", {{"Mag1", 0.0}, {"Ang1", 0.0}, {"Mag2", 0.9}, {"Loss", 0.1}}});
    h.project().schematics[0].elements.push_back({0, "BIAS", {{"Vdd", 28.0}}});
    ASSERT_EQ(Bind(OLESTR("M"), ParameterOf(h, 1, 1, OLESTR("Mag")).get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("A"), ParameterOf(h, 1, 1, OLESTR("Ang")).get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("H"), ParameterOf(h, 1, 2, OLESTR("Ang1")).get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("H2"), ParameterOf(h, 1, 2, OLESTR("Mag2")).get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("V"), ParameterOf(h, 1, 3, OLESTR("Vdd")).get()), S_OK);
    ASSERT_EQ(Bind(OLESTR("L"), ParameterOf(h, 1, 2, OLESTR("Loss")).get()), S_OK);

    ASSERT_EQ(sim->Analyze(-1, -1), S_OK);
    ASSERT_EQ(Set(OLESTR("M"), 0.5), S_OK);
    ASSERT_EQ(Set(OLESTR("A"), 7.0), S_OK);  // kept as set, not reduced to one turn
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);
    ASSERT_EQ(Set(OLESTR("V"), 30.0), S_OK);
    h.InjectStop("Simulator.Analyze", 1);
    ASSERT_EQ(sim->Analyze(0, -1), S_FALSE);  // answered by a fault: no analysis ran
    ASSERT_EQ(Set(OLESTR("H"), -2.0), S_OK);
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);
    ASSERT_EQ(Set(OLESTR("L"), 0.2), S_OK);  // a tuner's parameter that sets no load
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);
    ASSERT_EQ(Set(OLESTR("H2"), 0.4), S_OK);  // the second harmonic's pair
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);

    const std::vector<AnalysisRecord>& runs = h.Analyses();
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].first, -1);
    EXPECT_TRUE(runs[0].tuners.empty());
    EXPECT_EQ(runs[1].first, 0);
    EXPECT_EQ(runs[1].second, -1);
    ASSERT_EQ(runs[1].tuners.size(), 1u);
    EXPECT_EQ(runs[1].tuners[0].schematic, "Amp");
    EXPECT_EQ(runs[1].tuners[0].element, "LTUNER1");
    EXPECT_DOUBLE_EQ(runs[1].tuners[0].magnitude, 0.5);
    EXPECT_DOUBLE_EQ(runs[1].tuners[0].angle, 7.0);
    EXPECT_EQ(runs[1].tuners[0].harmonic, 1);
    ASSERT_EQ(runs[2].tuners.size(), 1u);  // the harmonic tuner's fundamental: Mag1, Ang1
    EXPECT_EQ(runs[2].tuners[0].element, "HBTUNER2");
    EXPECT_EQ(runs[2].tuners[0].harmonic, 1);
    EXPECT_DOUBLE_EQ(runs[2].tuners[0].magnitude, 0.0);
    EXPECT_DOUBLE_EQ(runs[2].tuners[0].angle, -2.0);
    EXPECT_TRUE(runs[3].tuners.empty());
    ASSERT_EQ(runs[4].tuners.size(), 1u);  // its second harmonic: Mag2, and Ang2 it does not have
    EXPECT_EQ(runs[4].tuners[0].harmonic, 2);
    EXPECT_DOUBLE_EQ(runs[4].tuners[0].magnitude, 0.4);
    EXPECT_DOUBLE_EQ(runs[4].tuners[0].angle, 0.0);
}

}  // namespace
}  // namespace vexasim::test
