// The run command's options as a user types them: each option that takes a value
// refuses to run without one, whatever stands before it, and the values are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vexasim/app/run_options.h"

namespace vexasim {
namespace {

TEST(RunOptions, AnOptionWithoutItsValueIsRefusedByName) {
    const char* const takesValue[] = {"-o",        "--out",    "--addin",  "--analysis-delay", "--inject",
                                      "--pursue",  "--tolerance", "--rounds", "--schematic",    "--tuner",
                                      "--radius",  "--measured-data", "--tab-data", "--script", "--harmonic",
                                      "--grid",    "--center", "--measure"};
    for (const char* option : takesValue) {
        SCOPED_TRACE(option);
        RunOptions o;
        std::string error;
        EXPECT_FALSE(ParseRunOptions({"p.json", option}, o, error));
        EXPECT_EQ(error, std::string(option) + " needs a value");
        // The option's value is never taken for the project, nor the project for its value.
        RunOptions first;
        error.clear();
        EXPECT_FALSE(ParseRunOptions({option}, first, error));
        EXPECT_FALSE(error.empty());
    }

    RunOptions o;
    std::string error;
    ASSERT_TRUE(ParseRunOptions({"--script", "s.txt", "p.json", "--center", "0.3@45", "--radius", "0.2", "-o", "x",
                                 "--measure", "Amp:Pout=pout", "--grid", "fine", "--harmonic", "2", "-q"},
                                o, error))
        << error;
    EXPECT_EQ(o.project, "p.json");
    EXPECT_EQ(o.dialog.scriptFile, "s.txt");
    EXPECT_EQ(o.dialog.centerMag, "0.3");
    EXPECT_EQ(o.dialog.centerAng, "45");
    EXPECT_EQ(o.dialog.radius, "0.2");
    EXPECT_EQ(o.outDir, "x");
    ASSERT_EQ(o.dialog.measures.size(), 1u);
    EXPECT_EQ(o.dialog.measures[0].first, "Amp:Pout");
    EXPECT_EQ(o.dialog.measures[0].second, "pout");
    EXPECT_EQ(o.dialog.grid, 2);
    EXPECT_EQ(o.dialog.harmonic, 2);
    EXPECT_TRUE(o.quiet);
}

}  // namespace
}  // namespace vexasim
