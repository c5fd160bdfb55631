// The project scan against the stand-in host: tuner schematics and tuners, valid
// and gamma-source measurements, the points graph, schematic selection, and what
// host faults inside a scan give.
#include <functional>

#include "tests/project/project_fixture.h"

TEST_F(ProjectTest, TunerNamesAreRecognisedByExactAnsiPrefix) {
    for (const char* yes : {"LTUNER", "LTUNER7", "LTUNERx", "HBTUNER2", "HBTUNERb"})
        EXPECT_TRUE(LPSetup::IsTunerName(W(yes).get())) << yes;
    for (const char* no : {"", "ltuner1", "LTUNE", "HBTUNE1", "hbTUNER1", "xLTUNER1"})
        EXPECT_FALSE(LPSetup::IsTunerName(W(no).get())) << no;
    EXPECT_FALSE(LPSetup::IsTunerName(nullptr));
    // A name with no exact ANSI form (a lone surrogate) is no tuner, not even by prefix.
    const OLECHAR broken[] = {'L', 'T', 'U', 'N', 'E', 'R', 0xD800};
    host::Bstr b = host::Bstr::Attach(SysAllocStringLen(broken, 7));
    EXPECT_FALSE(LPSetup::IsTunerName(b.get()));
}

TEST_F(ProjectTest, SchematicsWithTunersAreListedAndTheFirstSelected) {
    vexasim::ProjectBuilder(sim)
        .Schematic("Bias").Element("R1").Element("ltuner1").Element("LTUNE")
        .Schematic("Amp").Element("R1").Element("LTUNER1", {P("Mag"), P("Ang")}).Element("C1").Element("HBTUNERa")
        .Schematic("Empty")
        .Graph("Out", 3).Measurement("Amp", "Pout");
    ASSERT_EQ(setup->InitializeProject(), 0);
    EXPECT_EQ(sim.CallCount("Project.Refresh"), 1);
    EXPECT_EQ(Join(setup->tunerSchematics), "Amp");
    EXPECT_EQ(setup->selectedSchematic, -1);  // the first phase only lists
    EXPECT_EQ(setup->tunerCount, 0);

    ASSERT_EQ(setup->FinishProjectSetup(), 0);
    EXPECT_EQ(setup->tunerSchematicCount, 1);
    EXPECT_EQ(setup->selectedSchematic, 0);
    EXPECT_EQ(Join(setup->tuners), "LTUNER1,HBTUNERa");
    EXPECT_EQ(setup->tunerCount, 2);
    EXPECT_EQ(setup->selectedTuner, 0);
    EXPECT_EQ(Pair(), "Mag/Ang");
    EXPECT_EQ(setup->validMeasurementCount, 1);
}

TEST_F(ProjectTest, ProjectWithoutTunerSchematicSelectsZeroAndStillListsMeasurements) {
    vexasim::ProjectBuilder(sim).Graph("Out", 3).Measurement("Amp", "Pout");
    ASSERT_EQ(Initialize(*setup), 0);
    EXPECT_EQ(setup->tunerSchematicCount, 0);
    EXPECT_EQ(setup->selectedSchematic, 0);
    EXPECT_EQ(setup->selectedTuner, 0);
    EXPECT_EQ(setup->validMeasurementCount, 1);
}

TEST_F(ProjectTest, ValidMeasurementsAreRealAndListedOncePerSourceAndName) {
    vexasim::ProjectBuilder(sim)
        .Graph("G1", 3).Measurement("Amp", "Pout").Measurement("Amp", "S11", 2).Measurement("Amp", "Gain")
        .Graph("G2", 2).Measurement("Amp", "Pout").Measurement("Bias", "Pout").Measurement("Amp", "pout");
    ASSERT_EQ(setup->ScanValidMeasurements(), 0);
    ASSERT_EQ(setup->validMeasurementCount, 4);
    std::string names;
    host::Bstr name;
    for (long i = 0; i <= 4; ++i) {
        const long r = setup->GetValidMeasurementName(i, name);
        names += std::to_string(r) + Text(name.get()) + " ";  // out of range: an empty name
    }
    EXPECT_EQ(names, "0Amp:Pout 0Amp:Gain 0Bias:Pout 0Amp:pout " + std::to_string(E_FAIL) + " ");
}

TEST_F(ProjectTest, GammaSourcesComeFromType2GraphsByMark) {
    vexasim::ProjectBuilder(sim)
        .Graph("Smith", 2).Measurement("Meas", "LPGPM_a", 2).Measurement("Tab", "xLPGPTy", 2)
        .Measurement("Both", "LPGPM_LPGPT", 2).Measurement("Low", "lpgpm", 2)
        .Graph("Rect", 3).Measurement("Meas", "LPGPM_b", 2).Measurement("Tab", "LPGPT_b", 2);
    ASSERT_EQ(Initialize(*setup), 0);
    EXPECT_EQ(Join(setup->gammaMeasurementNames), "Meas:LPGPM_a");
    EXPECT_EQ(Join(setup->gammaMeasurements), "LPGPM_a");
    EXPECT_EQ(Join(setup->tabFileMeasurementNames), "Tab:xLPGPTy");
    EXPECT_EQ(Join(setup->tabFileMeasurements), "xLPGPTy");
}

TEST_F(ProjectTest, PointsGraphIsLeftOnceAndEmptyWhateverEarlierRunsLeft) {
    for (int leftovers = 0; leftovers <= 2; ++leftovers) {
        vexasim::Host h;
        vexasim::ProjectBuilder build(h);
        build.Graph("Out", 3).Measurement("Amp", "Pout");
        for (int i = 0; i < leftovers; ++i) build.Graph("Load Pull Points").Measurement("Tuner Impedances", "API", 2);
        {
            LPSetup s;
            s.SetApplication(h.Application());
            ASSERT_EQ(Initialize(s), 0);
            ASSERT_EQ(PointsGraphs(h), 1) << leftovers;
            for (const auto& g : h.project().graphs) {
                if (g.name != "Load Pull Points") continue;
                EXPECT_TRUE(g.type == 2 && g.measurements.empty() && g.settingsMode == 0);
            }
            EXPECT_EQ(s.RemovePointsGraph(), 0);
            EXPECT_EQ(PointsGraphs(h), 0);
        }
        EXPECT_EQ(h.ExternalReferences(), 0);
    }
}

TEST_F(ProjectTest, SelectSchematicRescansOnlyOnAChange) {
    vexasim::ProjectBuilder(sim)
        .Schematic("A").Element("LTUNER1", {P("Mag"), P("Ang")})
        .Schematic("B").Element("HBTUNER1", {P("Mag1"), P("Ang1")}).Element("HBTUNER2");
    ASSERT_EQ(Initialize(*setup), 0);
    sim.ClearCalls();
    EXPECT_EQ(setup->SelectSchematic(0), 0);
    EXPECT_FALSE(setup->setupChanged);
    EXPECT_TRUE(sim.Calls().empty());

    setup->setupChanged = true;
    for (long bad : {-1L, 2L}) {
        EXPECT_EQ(setup->SelectSchematic(bad), E_FAIL);
        EXPECT_TRUE(setup->selectedSchematic == 0 && setup->setupChanged);
    }
    EXPECT_EQ(setup->SelectSchematic(1), 0);
    EXPECT_EQ(Join(setup->tuners), "HBTUNER1,HBTUNER2");
    EXPECT_EQ(Pair(), "Mag1/Ang1");
}

// Each host fault inside a scan: the result, the box (or none), what the scan
// appended before the fault, and no reference lost.
TEST_F(ProjectTest, HostFaultsInsideTheScanGiveTheirResult) {
    const HRESULT kGone = static_cast<HRESULT>(0x80040201L);
    struct Case {
        std::function<void(vexasim::Host&)> inject;
        bool bothPhases;
        long result;
        const char* box;  // null: no box
        long schematics, valid;
    };
    const Case cases[] = {
        {[&](vexasim::Host& h) { h.InjectFailure("Elements.Item", 2, kGone, "Element gone"); }, false, kGone,
         "Element gone", 1, 0},
        {[](vexasim::Host& h) { h.InjectStop("Elements.Item", 2); }, false, 1, nullptr, 1, 0},
        // An element the host answers with nothing is passed over: the tuner after it still counts.
        {[](vexasim::Host& h) { h.InjectNull("Elements.Item", 2); }, false, 0, nullptr, 2, 0},
        {[](vexasim::Host& h) { h.InjectNull("Schematic.Elements", 2); }, false, E_FAIL, nullptr, 1, 0},
        {[](vexasim::Host& h) { h.InjectNull("Project.Schematics", 1); }, false, E_POINTER, "", 0, 0},
        {[](vexasim::Host& h) { h.InjectStop("Project.Refresh", 1); }, false, 1, nullptr, 0, 0},
        {[](vexasim::Host& h) { h.InjectStop("Measurements.RemoveAll", 1); }, true, 1, nullptr, 2, 0},
        {[&](vexasim::Host& h) { h.InjectFailure("Measurement.Name", 2, kGone, "Gone"); }, true, kGone, "Gone", 2, 1},
        {[](vexasim::Host& h) { h.InjectNull("Project.Graphs", 3); }, true, E_FAIL, nullptr, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        vexasim::Host h;
        vexasim::ProjectBuilder(h)
            .Schematic("A").Element("LTUNER1", {P("Mag"), P("Ang")})
            .Schematic("B").Element("R1").Element("HBTUNER1")
            .Graph("Out", 3).Measurement("Amp", "Pout").Measurement("Amp", "Gain");
        input.boxes.clear();
        {
            LPSetup s;
            s.SetApplication(h.Application());
            c.inject(h);
            EXPECT_EQ(c.bothPhases ? Initialize(s) : s.InitializeProject(), c.result);
            if (c.box) {
                ExpectHostErrorBox(c.box);
            } else {
                EXPECT_TRUE(input.boxes.empty());
            }
            EXPECT_EQ(s.tunerSchematics.size(), static_cast<size_t>(s.tunerSchematicCount));
            EXPECT_EQ(s.tunerSchematicCount, c.schematics);
            EXPECT_EQ(s.validMeasurements.size(), static_cast<size_t>(s.validMeasurementCount));
            EXPECT_EQ(s.validMeasurementCount, c.valid);
        }
        EXPECT_EQ(h.ExternalReferences(), 0);
    }
}
