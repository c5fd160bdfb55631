// The wizard's contours of the amplifier example against the device model's
// analytic optimum: on an Extra Fine grid the contour grid's maximum output power
// lies within 0.05 in |gamma| of the load that the load-line analysis gives.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "host/angles.h"
#include "vexasim/report/contours.h"
#include "vexasim/device/pa_model.h"
#include "tests/integration/read_file.h"

namespace {

TEST(AmplifierExample, ContourMaximumLiesAtTheLoadLineOptimum) {
    char tmpl[] = "/tmp/vexasim-optimum-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string env = "PLATFORM_REGISTRY='" + dir + "/registry.json' ";
    const std::string quiet = " >'" + dir + "/log' 2>&1";
    ASSERT_EQ(std::system((env + "'" VEXASIM_BIN "' register '" WIZARD_MODULE "'" + quiet).c_str()), 0);
    int status = std::system((env + "'" VEXASIM_BIN "' run '" EXAMPLES_DIR "/amplifier.json' -o '" + dir +
                              "/out' --grid extra-fine --measure PA:Pout=pout_lp --simulate --quiet" + quiet)
                                 .c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(dir + "/log");

    vexasim::ContourGrid grid;
    std::string error;
    ASSERT_TRUE(vexasim::ParseContourGrid(ReadFile(dir + "/out/QuindleIsAHack0.txt"), grid, error)) << error;
    vexasim::GridMax best = vexasim::MaximumInsideUnitCircle(grid);
    ASSERT_TRUE(best.found);

    // The example: Vdd 28 V, Vknee 3 V, Imax 2 A, conduction angle 240 degrees,
    // harmonics shorted. The optimum is the real load Ropt = (Vdd - Vknee) / I1.
    const double i1 = 2.0 * pa::CurrentHarmonic(1, DegreesToRadians(240.0));
    const double ropt = (28.0 - 3.0) / i1;
    const std::complex<double> optimum((ropt - 50.0) / (ropt + 50.0), 0.0);
    const double distance = std::abs(std::complex<double>(best.re, best.im) - optimum);
    std::printf("analytic optimum gamma %.4f, contour maximum at %.4f%+.4fj, distance %.4f\n", optimum.real(),
                best.re, best.im, distance);
    EXPECT_LT(distance, 0.05);
    EXPECT_LT(std::fabs(std::hypot(best.re, best.im) - std::abs(optimum)), 0.05);
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
