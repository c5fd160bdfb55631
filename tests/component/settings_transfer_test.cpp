// Moving the kept settings into a run's LPSetup and back, against the stand-in
// host: names that resolve are selected, names that no longer do leave the
// selection as the project scan made it, and out-of-range selections give nulls.
#include <gtest/gtest.h>

#include "component/wizard_settings.h"
#include "host/call.h"
#include "platform/automation/input_source.h"
#include "project/lpsetup.h"
#include "tests/component/com_test_support.h"
#include "vexasim/host.h"

namespace {

using comtest::Narrow;

class SettingsTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        vexasim::ProjectBuilder(host)
            .Schematic("Amp")
            .Element("LTUNER1", {{0, "Mag", 0.1}, {0, "Ang", 0.2}})
            .Schematic("Driver")
            .Element("LTUNER2", {{0, "Mag", 0.1}, {0, "Ang", 0.2}})
            .Element("LTUNER3", {{0, "Mag", 0.3}, {0, "Ang", 0.4}})
            .Graph("Out", 3)
            .Measurement("Amp", "Pout", 1, 13);
        setup.SetApplication(host.Application());
        ASSERT_EQ(setup.InitializeProject(), 0);
        ASSERT_EQ(setup.FinishProjectSetup(), 0);
    }

    vexasim::Host host;
    platform::RecordingInputSource user;
    platform::ScopedInputSource scope{user};
    LPSetup setup;
};

TEST_F(SettingsTransferTest, NamesThatResolveAreSelectedAndComeBack) {
    WizardSettings kept;
    kept.schematicName = host::Str(OLESTR("Driver"));
    kept.tunerName = host::Str(OLESTR("LTUNER3"));
    kept.harmonic = 2;
    kept.centerMag = 0.2;
    kept.centerAng = 30.0;
    kept.radius = 0.5;
    kept.gammaSource = 0;
    kept.contourMeasurements.push_back({host::Str(OLESTR("Amp:Pout")), host::Str(OLESTR("pout"))});
    kept.ApplyToSetup(setup);
    EXPECT_EQ(setup.selectedSchematic, 1);
    EXPECT_EQ(setup.selectedTuner, 1);
    EXPECT_EQ(setup.harmonic, 2);
    EXPECT_EQ(setup.centerMagnitude, 0.2);
    EXPECT_EQ(setup.centerAngleDeg, 30.0);
    EXPECT_EQ(setup.radius, 0.5);
    EXPECT_EQ(setup.gammaSource, 0);
    EXPECT_EQ(setup.selectedMeasurementCount, 1);

    WizardSettings back;
    back.TakeFromSetup(setup);
    EXPECT_EQ(Narrow(back.schematicName.get()), "Driver");
    EXPECT_EQ(Narrow(back.tunerName.get()), "LTUNER3");
    EXPECT_EQ(back.harmonic, 2);
    EXPECT_EQ(back.centerMag, 0.2);
    EXPECT_EQ(back.centerAng, 30.0);
    EXPECT_EQ(back.radius, 0.5);
    EXPECT_EQ(back.gammaSource, 0);
    ASSERT_EQ(back.contourMeasurements.size(), 1u);
    EXPECT_EQ(Narrow(back.contourMeasurements[0].measurementName.get()), "Amp:Pout");
    EXPECT_EQ(Narrow(back.contourMeasurements[0].dataFileName.get()), "pout");
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(SettingsTransferTest, StaleNamesAndUnsetValuesLeaveTheScansChoices) {
    WizardSettings kept;  // defaults: harmonic 0, gamma source -1
    kept.schematicName = host::Str(OLESTR("Gone"));
    kept.tunerName = host::Str(OLESTR("LTUNER9"));
    kept.measuredDataMeasName = host::Str(OLESTR("Old:LPGPM"));
    kept.tabDataMeasName = host::Str(OLESTR("Old:LPGPT"));
    kept.ApplyToSetup(setup);
    EXPECT_EQ(setup.selectedSchematic, 0);
    EXPECT_EQ(setup.selectedTuner, 0);
    EXPECT_EQ(setup.harmonic, 1);        // 0 was never set: the first harmonic
    EXPECT_EQ(setup.gammaSource, -1);    // no grid built; the dialog picks its own
    EXPECT_EQ(setup.radius, 0.95);

    // A radius the LPSetup refuses leaves its own centre and radius.
    kept.centerMag = 0.4;
    kept.radius = 0.01;
    kept.ApplyToSetup(setup);
    EXPECT_EQ(setup.centerMagnitude, 0.0);
    EXPECT_EQ(setup.radius, 0.95);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(SettingsTransferTest, OutOfRangeSelectionsComeBackAsNullNames) {
    WizardSettings kept;
    kept.schematicName = host::Str(OLESTR("previous"));
    kept.tabDataMeasName = host::Str(OLESTR("previous"));
    kept.contourMeasurements.push_back({host::Str(OLESTR("a")), host::Str(OLESTR("b"))});
    setup.selectedSchematic = 7;
    setup.selectedTuner = -1;
    setup.selectedGammaMeasurement = 3;  // the project has no gamma measurements at all
    setup.selectedTabFileMeasurement = 0;
    setup.harmonic = 3;
    kept.TakeFromSetup(setup);
    EXPECT_TRUE(kept.schematicName.is_null());
    EXPECT_TRUE(kept.tunerName.is_null());
    EXPECT_TRUE(kept.measuredDataMeasName.is_null());
    EXPECT_TRUE(kept.tabDataMeasName.is_null());
    EXPECT_TRUE(kept.contourMeasurements.empty());
    EXPECT_EQ(kept.harmonic, 3);
    EXPECT_EQ(kept.gammaSource, -1);
}

}  // namespace
