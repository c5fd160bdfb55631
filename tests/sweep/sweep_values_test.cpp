// How measured values are read: power units, and the running extremes that set
// the contour levels.
#include "sweep_fixture.h"

namespace {

// The first value of a measurement's contour grid: the measurements here are
// constant, so it is the value the sweep read.
TEST_F(SweepTest, PowerValuesFollowTheUnitsTheProjectDisplays) {
    AddMeasurement("P13", [](Gamma) { return -10.0; }, 13);  // dBW
    AddMeasurement("P14", [](Gamma) { return 0.25; }, 14);   // W
    AddMeasurement("Gain", [](Gamma) { return 7.5; }, 5);
    const std::vector<std::pair<std::string, std::string>> chosen = {
        {"Amp:P13", "G13"}, {"Amp:P14", "G14"}, {"Amp:Gain", "GGain"}};
    struct Case {
        const char* decibel;
        const char* linear;
        double p13, p14;
    };
    const Case cases[] = {
        {"dBm", "mW", 20.0, 250.0},
        {"dBW", "W", -10.0, 0.25},
        {"DBm", "mw", -10.0, 0.25},  // names match exactly or not at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decibel);
        sim.project().units = {{13, c.decibel}, {14, c.linear}};
        EXPECT_EQ(Prepare(chosen, 0).RunSweep(), 1);
        EXPECT_EQ(GridValues("G13").at(0), c.p13);
        EXPECT_EQ(GridValues("G14").at(0), c.p14);
        EXPECT_EQ(GridValues("GGain").at(0), 7.5);
    }
}

TEST_F(SweepTest, UnitNamesAreReadAtEveryPoint) {
    // The project switches from dBm to dBW after the tenth analysis of the sweep.
    int analyses = 0;
    AddMeasurement("P13", [&](Gamma) {
        if (++analyses == 10) sim.project().units[13] = "dBW";
        return -10.0;
    }, 13);
    LPSetup& s = Prepare({{"Amp:P13", "G13"}}, 0);
    analyses = 0;
    EXPECT_EQ(s.RunSweep(), 0);
    // Nine points read as 20 dBm, the rest as -10: the levels span both.
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"), (std::vector<std::string>{"G13:LPCS[21,-10,1.75]"}));
}

TEST_F(SweepTest, NegativeValuesKeepTheMaximumAtItsFloor) {
    AddMeasurement("Loss", [](Gamma g) { return -2.0 - std::norm(g); });
    EXPECT_EQ(Prepare({{"Amp:Loss", "GLoss"}}, 0).RunSweep(), 0);
    // Largest value -2, smallest -2.9025: top 1 from the floor 1e-9, bottom -2.
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"), (std::vector<std::string>{"GLoss:LPCS[1,-2,0.25]"}));
    const std::vector<double> values = GridValues("GLoss");
    EXPECT_NEAR(values.at(20 * 41 + 20), -2.0, 1e-3);  // the centre
}

}  // namespace
