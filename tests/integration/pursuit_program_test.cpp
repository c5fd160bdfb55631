// vexasim run --pursue end to end: rounds of the wizard against the stand-in host
// from a start far from the optimum, on the closed-form amplifier (whose output
// power and efficiency optima are the load line's Ropt) and on the MOSFET example
// (against an Extra Fine grid around the optimum it finds).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "host/angles.h"
#include "vexasim/report/leave_one_out.h"
#include "vexasim/report/run_results.h"
#include "vexasim/device/pa_model.h"
#include "tests/integration/read_file.h"

namespace {

const int kExtraFinePoints = 331;

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The gamma of the line "  optimum ... at gamma M at A deg, ..." after `from`.
std::complex<double> OptimumAfter(const std::string& out, const std::string& from) {
    const size_t line = out.find("  optimum ", out.find(from));
    double m = NAN, a = NAN;
    if (line != std::string::npos) std::sscanf(out.c_str() + out.find("gamma ", line), "gamma %lf at %lf", &m, &a);
    return std::polar(m, DegreesToRadians(a));
}

int Analyses(const std::string& out) {
    int n = -1;
    const size_t at = out.find(" analyses\n");
    if (at != std::string::npos) std::sscanf(out.c_str() + out.rfind(' ', at - 1), "%d", &n);
    return n;
}

class Pursuit : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexasim-pursuit-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(Run({"register", WIZARD_MODULE}), 0) << err_;
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

    int Run(const std::vector<std::string>& args) {
        std::string cmd = "PLATFORM_REGISTRY='" + dir_ + "/registry.json' '" VEXASIM_BIN "'";
        for (const auto& a : args) cmd += " '" + a + "'";
        cmd += " >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr'";
        const int s = std::system(cmd.c_str());
        out_ = ReadFile(dir_ + "/stdout");
        err_ = ReadFile(dir_ + "/stderr");
        return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    }

    std::string dir_, out_, err_;
};

TEST_F(Pursuit, TheAmplifiersOptimaAndTradeOffFromAFarStart) {
    const std::string out = dir_ + "/amp";
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--measure", "PA:Pout=pout_lp", "--measure",
                   "PA:PAE=pae_lp", "--center", "0.5@0", "--radius", "0.2", "--pursue", "Pout,PAE"}),
              0)
        << err_;
    std::printf("%s", out_.c_str());
    // Both optima lie on the load line: Z = Ropt = (Vdd - Vknee) / I1.
    const double ropt = 25.0 / (2.0 * pa::CurrentHarmonic(1, DegreesToRadians(240.0)));
    const std::complex<double> optimum((ropt - 50) / (ropt + 50), 0);
    EXPECT_LT(std::abs(OptimumAfter(out_, "pursuit of PA:Pout") - optimum), 0.01) << out_;
    EXPECT_LT(std::abs(OptimumAfter(out_, "pursuit of PA:PAE") - optimum), 0.015) << out_;  // a flat peak
    EXPECT_NE(out_.find("pursuit of PA:Pout: converged in round"), std::string::npos) << out_;
    EXPECT_NE(out_.find("trade-off between PA:Pout and PA:PAE"), std::string::npos) << out_;
    const int analyses = Analyses(out_);
    EXPECT_GT(analyses, 0) << out_;
    EXPECT_LT(analyses, kExtraFinePoints) << out_;
    EXPECT_EQ(err_.find("references to the project"), std::string::npos) << err_;

    // Every round's outputs are kept; the output folder holds the last round's,
    // its charts with the rounds' path and the trade-off line.
    int rounds = 0;
    while (Exists(out + "/round-" + std::to_string(rounds + 1) + "/amplifier.json")) ++rounds;
    EXPECT_EQ(analyses, 61 * rounds);
    EXPECT_NE(out_.find(std::to_string(rounds) + " rounds, "), std::string::npos) << out_;
    const std::string last = out + "/round-" + std::to_string(rounds);
    EXPECT_EQ(ReadFile(out + "/samples.csv"), ReadFile(last + "/samples.csv"));
    EXPECT_EQ(ReadFile(out + "/QuindleIsAHack0.txt"), ReadFile(last + "/QuindleIsAHack0.txt"));
    const std::string svg = ReadFile(out + "/Load_Pull_Data_Contour_Graph.svg");
    EXPECT_EQ(Count(svg, "class=\"overlay\""), 2u);
    EXPECT_NE(svg.find("trade-off PA:Pout / PA:PAE"), std::string::npos);
    EXPECT_NE(svg.find("pursuit: centres of rounds 1-" + std::to_string(rounds) + "<"), std::string::npos);
    EXPECT_EQ(Count(ReadFile(out + "/Load_Pull_Data_Contour_Graph.html"), "class=\"overlay\""), 2u);
    EXPECT_EQ(Count(ReadFile(last + "/Load_Pull_Data_Contour_Graph.svg"), "class=\"overlay\""), 0u);

    // The chart is a close view of the end; on the page, a load on the trade-off line
    // given in the address is that line's point, read out with its values.
    EXPECT_NE(svg.find("close view: gamma 0.3"), std::string::npos);
    const size_t first = out_.find("\n  gamma ", out_.find("trade-off between"));
    ASSERT_NE(first, std::string::npos) << out_;
    double m = NAN, a = NAN, pout = NAN, pae = NAN;
    ASSERT_EQ(std::sscanf(out_.c_str() + first, "\n  gamma %lf at %lf", &m, &a), 2);
    std::sscanf(out_.c_str() + out_.find("PA:Pout ", first), "PA:Pout %lf", &pout);
    std::sscanf(out_.c_str() + out_.find("PA:PAE ", first), "PA:PAE %lf", &pae);
    char hash[64];
    std::snprintf(hash, sizeof hash, "#marker=%.3f@%.1f", m, a);
    const std::string dom = [&] {
        std::string cmd = "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                          "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
                          dir_ + "/browser' --dump-dom 'file://" + out + "/Load_Pull_Data_Contour_Graph.html" + hash +
                          "' >'" + dir_ + "/dom' 2>/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return ReadFile(dir_ + "/dom");
    }();
    const size_t readout = dom.find("<div id=\"readout\"");
    ASSERT_NE(readout, std::string::npos) << dom.substr(0, 300);
    const std::string said = dom.substr(readout, dom.find("</div>", readout) - readout);
    EXPECT_NE(said.find(": trade-off PA:Pout / PA:PAE, point "), std::string::npos) << said;
    EXPECT_NE(said.find("marker T"), std::string::npos) << said;
    double readPout = NAN, readPae = NAN;
    const size_t p1 = said.find("<p>PA:Pout: "), p2 = said.find("<p>PA:PAE: ");
    ASSERT_TRUE(p1 != std::string::npos && p2 != std::string::npos) << said;
    std::sscanf(said.c_str() + p1, "<p>PA:Pout: %lf", &readPout);
    std::sscanf(said.c_str() + p2, "<p>PA:PAE: %lf", &readPae);
    // The point read is the one given or a neighbour 0.001 away on this short line.
    EXPECT_NEAR(readPout, pout, 0.02) << said;
    EXPECT_NEAR(readPae, pae, 0.2) << said;

    // The project saved at the end repeats the last round.
    ASSERT_EQ(Run({"run", out + "/amplifier.json", "-o", dir_ + "/again", "--simulate", "--quiet"}), 0) << err_;
    EXPECT_EQ(ReadFile(dir_ + "/again/samples.csv"), ReadFile(out + "/samples.csv"));
}

TEST_F(Pursuit, BadOptionsAreRefusedBeforeAnythingRuns) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--pursue", "Pout,PAE,DE"}, "one measurement or two"},
        {{"--pursue", ",PAE"}, "one measurement or two"},
        {{"--pursue", "Pout", "--tolerance", "-1"}, "--tolerance takes a positive number"},
        {{"--pursue", "Pout", "--rounds", "0"}, "--rounds takes a whole number"},
        {{"--pursue", "Pout", "--rounds", "2.5"}, "--rounds takes a whole number"},
        {{"--pursue", "Pout", "--measured-data", "x"}, "--pursue moves the grid by itself"},
        {{"--pursue", "Pout", "--center", "0.5@x", "--radius", "0.2"}, "take numbers"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/bad"};
        args.insert(args.end(), c.first.begin(), c.first.end());
        EXPECT_EQ(Run(args), 2) << c.second;
        EXPECT_NE(err_.find(c.second), std::string::npos) << err_;
        EXPECT_FALSE(Exists(dir_ + "/bad")) << c.second;
    }
    // A name that is not on the project's graphs is told with those that are.
    EXPECT_EQ(Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/named", "--measure", "PA:Pout=pout_lp",
                   "--pursue", "Pin", "--quiet"}),
              2);
    EXPECT_NE(err_.find("no measurement Pin on the project's graphs (there are: PA:Pout"), std::string::npos) << err_;
}

// The MOSFET example with the circuit engine: rounds of the Coarse grid from the
// same far start, held to a Fine grid of radius 0.05 (spacing 0.006 in gamma) about
// what they found. About 470 analyses: the longest test of the suite.
TEST_F(Pursuit, TheMosfetsOutputPowerOptimumAgreesWithADenseGridAroundIt) {
    const std::string out = dir_ + "/mos";
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/mosfet_pa.json", "-o", out, "--measure", "PA:Pout=pout_lp", "--center",
                   "0.5@0", "--radius", "0.2", "--pursue", "Pout", "--quiet"}),
              0)
        << err_;
    std::printf("%s", out_.c_str());
    const std::complex<double> found = OptimumAfter(out_, "pursuit of PA:Pout");
    ASSERT_TRUE(std::isfinite(found.real())) << out_;
    EXPECT_GT(Analyses(out_), 0) << out_;
    EXPECT_LT(Analyses(out_), kExtraFinePoints) << out_;
    EXPECT_EQ(err_.find("references to the project"), std::string::npos) << err_;
    char centre[64];
    std::snprintf(centre, sizeof centre, "%.6f@%.4f", std::abs(found), RadiansToDegrees(std::arg(found)));
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/mosfet_pa.json", "-o", dir_ + "/dense", "--measure", "PA:Pout=pout_lp",
                   "--grid", "fine", "--center", centre, "--radius", "0.05", "--simulate", "--quiet"}),
              0)
        << err_;
    vexasim::SampleTable dense;
    std::string error;
    ASSERT_TRUE(vexasim::ParseSamplesCsv(ReadFile(dir_ + "/dense/samples.csv"), dense, error)) << error;
    ASSERT_EQ(dense.rows.size(), 217u);
    int column = -1;
    for (size_t c = 0; c < dense.columns.size(); ++c)
        if (dense.columns[c] == "PA:Pout") column = static_cast<int>(c);
    ASSERT_GE(column, 0);
    // The dense grid's best load, and how well its spline knows its values: the
    // leave-one-out error, 0.01 to 0.03 dB: the engine's scatter from load to load
    // and the corner where the knee starts to limit the swing.
    const vexasim::Sample* best = nullptr;
    std::vector<vexasim::GammaPoint> points;
    std::vector<double> values;
    for (const vexasim::Sample& s : dense.rows) {
        if (!best || s.values[column] > best->values[column]) best = &s;
        points.push_back(vexasim::SamplePoint(s));
        values.push_back(s.values[column]);
    }
    ASSERT_NE(best, nullptr);
    double squares = 0;
    for (double e : vexasim::LeaveOneOut(points).Errors(values)) squares += e * e;
    const double scatter = std::sqrt(squares / dense.rows.size());
    // The top is a ridge along |gamma|, flat to 0.02 dB over 0.03: loads 0.01 apart
    // tie to 0.001 dB, and which is best moves when the grid moves. Its optimum is
    // the loads the dense grid cannot tell from the best: the load found must be
    // within 0.01 of one of them, and as good as the best to that error.
    double nearest = INFINITY, near = -INFINITY;
    for (const vexasim::Sample& s : dense.rows) {
        const vexasim::GammaPoint p = vexasim::SamplePoint(s);
        const double d = std::abs(std::complex<double>(p.re, p.im) - found);
        if (s.values[column] >= best->values[column] - scatter) nearest = std::min(nearest, d);
        if (d < 0.007) near = std::max(near, s.values[column]);
    }
    const vexasim::GammaPoint b = vexasim::SamplePoint(*best);
    std::printf("dense-grid optimum %.4f%+.4fj (%.4f dBm, LOO rms %.4f dB), pursuit %.4f%+.4fj (%.4f dBm next to it, "
                "%.4f from the nearest as good)\n",
                b.re, b.im, best->values[column], scatter, found.real(), found.imag(), near, nearest);
    EXPECT_LT(nearest, 0.01);
    EXPECT_GT(near, best->values[column] - 2 * scatter);
    EXPECT_LT(std::abs(std::complex<double>(b.re, b.im) - found), 0.02);
}

}  // namespace
