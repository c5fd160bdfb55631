// Binding the selected tuner's magnitude and angle parameters by tuner kind and harmonic.
#include "tests/project/project_fixture.h"

class TunerTest : public ProjectTest {
protected:
    void SetUp() override {
        // The harmonic-balance tuner has no "Mag3".
        vexasim::ProjectBuilder(sim).Schematic("Amp").Element("LTUNER1", {P("Mag"), P("Ang")})
            .Element("HBTUNER1", {P("Mag1"), P("Ang1"), P("Mag2"), P("Ang2"), P("Ang3")});
        ProjectTest::SetUp();
    }
};

TEST_F(TunerTest, HarmonicChoosesThePairByTunerKind) {
    // Before any scan there is no tuner: index 0 is accepted and binds nothing.
    EXPECT_EQ(setup->SelectTuner(0), 0);
    EXPECT_EQ(setup->SetHarmonic(2), E_FAIL);
    EXPECT_EQ(setup->harmonic, 2);
    EXPECT_EQ(Pair(), "(null)/(null)");

    ASSERT_EQ(Initialize(*setup), 0);
    EXPECT_EQ(setup->SetHarmonic(3), 0);
    EXPECT_EQ(Pair(), "Mag/Ang");
    for (long bad : {-1L, 2L}) {
        EXPECT_EQ(setup->SelectTuner(bad), E_FAIL);
        EXPECT_EQ(setup->selectedTuner, 0);
        EXPECT_EQ(Pair(), "Mag/Ang");
    }

    setup->setupChanged = false;
    EXPECT_EQ(setup->SelectTuner(1), E_FAIL);  // harmonic 3 and no "Mag3"
    EXPECT_EQ(setup->selectedTuner, 1);
    EXPECT_EQ(setup->harmonic, 3);
    EXPECT_EQ(Pair(), "(null)/(null)");
    EXPECT_FALSE(setup->setupChanged);

    EXPECT_EQ(setup->SetHarmonic(2), 0);
    EXPECT_EQ(Pair(), "Mag2/Ang2");
    EXPECT_TRUE(setup->setupChanged);
    for (long outside : {0L, 4L}) {
        EXPECT_EQ(setup->SetHarmonic(outside), 0);
        EXPECT_EQ(setup->harmonic, 1);
        EXPECT_EQ(Pair(), "Mag1/Ang1");
    }
    EXPECT_TRUE(input.boxes.empty());
}

TEST_F(TunerTest, AFailedBindingLeavesNoPairBehind) {
    ASSERT_EQ(Initialize(*setup), 0);
    const HRESULT kBusy = static_cast<HRESULT>(0x80040202L);
    sim.InjectFailure("Parameters.Item", 2, kBusy, "Parameters busy");
    // The new tuner's "Mag1" is found and its "Ang1" fails: neither it nor the old
    // tuner's "Ang" may stay bound, or the sweep would drive two elements.
    EXPECT_EQ(setup->SelectTuner(1), kBusy);
    ExpectHostErrorBox("Parameters busy");
    EXPECT_EQ(Pair(), "(null)/(null)");
}
