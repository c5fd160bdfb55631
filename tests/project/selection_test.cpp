// The measurements to contour, the gamma measurement selections and the look-ups
// by index and by name.
#include "tests/project/project_fixture.h"

TEST_F(ProjectTest, ContourListKeepsNamesAndFilesParallel) {
    setup->setupChanged = false;
    for (const char* n : {"Amp:Gain", "Amp:Pout", "Amp:PAE"})
        EXPECT_EQ(setup->AddSelectedMeasurement(W(n).get(), W(n + 4).get()), 0);
    EXPECT_TRUE(setup->setupChanged);
    EXPECT_EQ(setup->AddSelectedMeasurement(nullptr, W("x").get()), E_FAIL);
    EXPECT_EQ(setup->AddSelectedMeasurement(W("x").get(), nullptr), E_FAIL);

    setup->setupChanged = false;
    EXPECT_EQ(setup->RemoveSelectedMeasurement(1), 0);
    EXPECT_EQ(setup->RemoveSelectedMeasurement(2), E_FAIL);
    EXPECT_FALSE(setup->setupChanged);
    EXPECT_EQ(setup->selectedMeasurementCount, 2);
    EXPECT_EQ(Join(setup->selectedMeasurementNames) + "|" + Join(setup->selectedMeasurementFileNames),
              "Amp:Gain,Amp:PAE|Gain,PAE");

    host::Bstr name, file;
    EXPECT_EQ(setup->GetSelectedMeasurement(1, name, file), 0);
    EXPECT_EQ(Text(name.get()) + "|" + Text(file.get()), "Amp:PAE|PAE");
    EXPECT_EQ(setup->GetSelectedMeasurement(2, name, file), E_FAIL);
    EXPECT_TRUE(name.is_null() && file.is_null());

    EXPECT_TRUE(setup->IsDataFileNameUsed(W("PAE").get()));
    EXPECT_FALSE(setup->IsDataFileNameUsed(W("pae").get()));
    EXPECT_EQ(setup->FindSelectedMeasurement(W("Amp:PAE").get()), 1);
    EXPECT_EQ(setup->FindSelectedMeasurement(W("amp:PAE").get()), -1);

    EXPECT_EQ(setup->RemoveAllSelectedMeasurements(), 0);
    EXPECT_EQ(setup->selectedMeasurementCount + setup->selectedMeasurementFileNames.size(), 0u);
    EXPECT_FALSE(setup->IsDataFileNameUsed(W("Gain").get()));
}

TEST_F(ProjectTest, GammaSelectionSettersSayWhetherTheyChangedIt) {
    using Setter = long (LPSetup::*)(long);
    for (Setter set : {&LPSetup::SetSelectedGammaMeasurement, &LPSetup::SetSelectedTabFileMeasurement}) {
        LPSetup l;
        auto flags = [&] { return std::to_string(l.gammaMeasurementChanged + 2 * l.tabFileMeasurementChanged) +
                                  (l.setupChanged ? "s" : "-"); };
        EXPECT_EQ((l.*set)(-1), E_FAIL);  // no selection: refused, flags as they were
        EXPECT_EQ(flags(), "3s");
        EXPECT_EQ((l.*set)(0), 0);  // the selection already held
        const std::string other = set == &LPSetup::SetSelectedGammaMeasurement ? "2" : "1";
        EXPECT_EQ(flags(), other + "-");
        EXPECT_EQ((l.*set)(-1), E_FAIL);
        EXPECT_EQ(flags(), other + "-");
        EXPECT_EQ((l.*set)(3), 0);
        EXPECT_EQ(flags(), "3s");
        EXPECT_EQ(l.selectedGammaMeasurement + l.selectedTabFileMeasurement, 3);
    }
}

TEST_F(ProjectTest, LookupsCompareNamesExactly) {
    vexasim::ProjectBuilder(sim)
        .Schematic("Amp").Element("LTUNER1", {P("Mag"), P("Ang")})
        .Schematic("amp").Element("LTUNER2", {P("Mag"), P("Ang")})
        .Graph("Smith", 2).Measurement("Meas", "LPGPM_a", 2);
    ASSERT_EQ(Initialize(*setup), 0);

    std::string found;
    for (const char* n : {"Amp", "amp", "AMP"}) found += std::to_string(setup->FindSchematic(W(n).get()));
    EXPECT_EQ(found, "01-1");
    EXPECT_EQ(setup->FindSchematic(nullptr), -1);
    EXPECT_EQ(setup->FindTuner(W("LTUNER1").get()), 0);
    EXPECT_EQ(setup->FindGammaMeasurement(W("Meas:LPGPM_a").get()), 0);
    EXPECT_EQ(setup->FindGammaMeasurement(W("meas:LPGPM_a").get()), -1);

    host::Bstr name;
    EXPECT_EQ(setup->GetSchematicName(1, name), 0);
    EXPECT_EQ(Text(name.get()), "amp");
    EXPECT_EQ(setup->GetSchematicName(2, name), E_FAIL);
    EXPECT_TRUE(name.is_null());
    EXPECT_EQ(setup->GetTunerName(0, name), 0);
    EXPECT_EQ(setup->GetTunerName(-1, name), E_FAIL);
    EXPECT_TRUE(name.is_null());
    EXPECT_EQ(setup->GetGammaMeasurementName(0, name), 0);
    EXPECT_EQ(setup->GetTabFileMeasurementName(0, name), E_FAIL);
    EXPECT_TRUE(name.is_null());
    EXPECT_TRUE(input.boxes.empty());

    // A candidate whose name the host cannot give is passed over quietly; the
    // look-up by index shows the host's error.
    const HRESULT kGone = static_cast<HRESULT>(0x80040203L);
    sim.InjectFailure("Schematic.Name", 1, kGone, "Schematic gone");
    EXPECT_EQ(setup->FindSchematic(W("Amp").get()), -1);
    EXPECT_TRUE(input.boxes.empty());
    sim.InjectFailure("Schematic.Name", 1, kGone, "Schematic gone");
    EXPECT_EQ(setup->GetSchematicName(0, name), kGone);
    ExpectHostErrorBox("Schematic gone");
}
