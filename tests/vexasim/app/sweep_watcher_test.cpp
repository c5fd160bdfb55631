// The run's samples and progress: which analyses are samples, at which tuner
// setting, and how many settings the add-in showed it would analyse.
#include <gtest/gtest.h>

#include <cmath>

#include "host/angles.h"
#include "host/call.h"
#include "tests/vexasim/model/model_test_util.h"
#include "vexasim/app/sweep_watcher.h"

namespace vexasim {
namespace {

TEST(PlannedSettings, CountsTheShownSettingsThatHoldTheCurrentOne) {
    ProjectData project;
    project.schematics.push_back({0, "PA", {}});
    TunerSetting at{"PA", "LTUNER1", 1, 0.5, DegreesToRadians(90.0)};
    EXPECT_EQ(PlannedSettings(project, at), 0);  // nothing shown

    GraphData graph;
    MeasurementData shown, marker, schematic, elsewhere;
    shown.source = "Planned";
    shown.points = {{0.0, 0.5}, {0.5, 0.0}};  // two settings are a plan already
    marker.source = "Now";
    marker.points = {{0.0, 0.5}};  // one point: the current setting, not a plan
    schematic.source = "PA";       // a schematic's own values are no plan
    schematic.points = std::vector<std::pair<double, double>>(9, {0.0, 0.5});
    elsewhere.source = "Other";    // a plan without the current setting
    elsewhere.points = std::vector<std::pair<double, double>>(7, {0.1, 0.1});
    graph.measurements = {shown, marker, schematic, elsewhere};
    project.graphs.push_back(graph);
    EXPECT_EQ(PlannedSettings(project, at), 2);
    at.angle = DegreesToRadians(-90.0);
    EXPECT_EQ(PlannedSettings(project, at), 0);
}

TEST(SweepWatcher, SamplesAreTheAnalysesAtANewTunerSettingInDisplayUnits) {
    Host host;
    ProjectBuilder(host)
        .Schematic("PA")
        .Element("LTUNER1", {{"Mag", 0.0}, {"Ang", 0.0}})
        .Graph("Out")
        .Measurement("PA", "Pout", 1, 13)
        .Measurement("PA", "Pout", 1, 13)  // shown twice, sampled once
        .Measurement("PA", "PAE", 1)       // after it, in a unit of its own
        .Units(13, "dBm");
    host.SetEvaluator([](const ProjectData&, const MeasurementData&) { return 1.5; });
    SweepWatcher watcher(host, false);  // shows no plan: no progress to count against
    host.SetAnalyzeObserver([&](long a, long b) { watcher.OnAnalyze(a, b); });
    ASSERT_EQ(watcher.table.columns, (std::vector<std::string>{"PA:Pout", "PA:PAE"}));

    auto sim = host::Get(test::ProjectOf(host), &IVexaProject::get_Simulator);
    for (const OLECHAR* name : {OLESTR("Mag"), OLESTR("Ang")})
        ASSERT_EQ(sim->AddVariable(host::Str(name).get(), host::DispatchArg(test::ParameterOf(host, 1, 1, name).get())),
                  S_OK);
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);  // no setting: no sample
    ASSERT_EQ(sim->SetVariable(host::Str(OLESTR("Mag")).get(), 0.25), S_OK);
    ASSERT_EQ(sim->SetVariable(host::Str(OLESTR("Ang")).get(), DegreesToRadians(-120.0)), S_OK);
    ASSERT_EQ(sim->Analyze(-1, -1), S_OK);  // not an analysis at a point
    ASSERT_EQ(sim->SetVariable(host::Str(OLESTR("Mag")).get(), 0.5), S_OK);
    ASSERT_EQ(sim->Analyze(0, -1), S_OK);
    watcher.Finish();

    ASSERT_EQ(watcher.table.rows.size(), 1u);
    EXPECT_DOUBLE_EQ(watcher.table.rows[0].magnitude, 0.5);
    EXPECT_NEAR(watcher.table.rows[0].angleDeg, -120.0, 1e-12);
    ASSERT_EQ(watcher.table.rows[0].values.size(), 2u);
    EXPECT_DOUBLE_EQ(watcher.table.rows[0].values[0], 31.5);  // dBW shown in dBm
    EXPECT_DOUBLE_EQ(watcher.table.rows[0].values[1], 1.5);
    sim.reset();
    EXPECT_EQ(host.ExternalReferences(), 0);
}

}  // namespace
}  // namespace vexasim
