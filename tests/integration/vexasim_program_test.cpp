// The vexasim program end to end: registration, the add-in list, runs driven by
// options and by stored settings, refusals of malformed projects, and interruptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "vexasim/project_file/project_file.h"
#include "tests/integration/read_file.h"

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

class VexasimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexasim-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        registry_ = dir_ + "/registry.json";
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }

    Result Run(const std::vector<std::string>& args) {
        std::string cmd = "PLATFORM_REGISTRY='" + registry_ + "' '" VEXASIM_BIN "'";
        for (const auto& a : args) cmd += " '" + a + "'";
        cmd += " >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr'";
        Result r;
        int s = std::system(cmd.c_str());
        r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
        r.out = ReadFile(dir_ + "/stdout");
        r.err = ReadFile(dir_ + "/stderr");
        return r;
    }

    void Register() {
        Result r = Run({"register", WIZARD_MODULE});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    std::string dir_, registry_;
};

TEST_F(VexasimProgram, RegisterRunRerunFromStoredSettingsAndUnregister) {
    Register();
    Result list = Run({"addins"});
    EXPECT_NE(list.out.find("Tessary.LPTuner\tTessary Wizard\tRun the simulated Tessary Wizard"), std::string::npos)
        << list.out;

    std::string first = dir_ + "/first", second = dir_ + "/second";
    Result run = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", first, "--grid", "coarse", "--measure",
                      "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PA:Pout (data file pout_lp)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("contour grid maximum"), std::string::npos);
    for (const char* f : {"amplifier.json", "QuindleIsAHack0.txt", "QuindleIsAHack1.txt", "samples.csv",
                          "Load_Pull_Data_Contour_Graph.svg"})
        EXPECT_TRUE(Exists(first + "/" + f)) << f;
    std::string csv = ReadFile(first + "/samples.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "index,|gamma|,angle_deg,re,im,PA:Pout,PA:PAE,PA:Pout LOO,PA:PAE LOO");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 62);  // header and 61 points of the Coarse grid

    // The saved project holds the settings: a run with only --simulate repeats the same sweep.
    Result again = Run({"run", first + "/amplifier.json", "-o", second, "--simulate", "--quiet"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadFile(second + "/QuindleIsAHack0.txt"), ReadFile(first + "/QuindleIsAHack0.txt"));
    EXPECT_EQ(ReadFile(second + "/QuindleIsAHack1.txt"), ReadFile(first + "/QuindleIsAHack1.txt"));
    EXPECT_EQ(ReadFile(second + "/samples.csv"), csv);
    // The same settings again: the add-in is not dirty, and the host keeps the
    // stored bytes as they were.
    vexasim::ProjectFile firstProject, secondProject;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::LoadProjectFile(first + "/amplifier.json", firstProject, errors));
    ASSERT_TRUE(vexasim::LoadProjectFile(second + "/amplifier.json", secondProject, errors));
    ASSERT_TRUE(firstProject.addins["Tessary.LPTuner"].hasSettings);
    EXPECT_EQ(secondProject.addins["Tessary.LPTuner"].settings, firstProject.addins["Tessary.LPTuner"].settings);

    Result unregister = Run({"unregister", WIZARD_MODULE});
    EXPECT_EQ(unregister.status, 0) << unregister.err;
    EXPECT_NE(Run({"addins"}).out.find("no add-ins registered"), std::string::npos);
    EXPECT_EQ(Run({"unregister", WIZARD_MODULE}).status, 0);  // twice is fine
    Result gone = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/third", "--simulate"});
    EXPECT_NE(gone.status, 0);
    EXPECT_NE(gone.err.find("register it with"), std::string::npos) << gone.err;
}

// A project whose stored settings hold two whole measurement pairs and then a
// pair damaged by an odd string length: the run from the stored settings alone
// contours the two whole ones; the host keeps the stored bytes (the wizard is
// not dirty), so the next run does the same.
TEST_F(VexasimProgram, StoredSettingsWithADamagedPairRunTheWholePairs) {
    Register();
    const std::string out = dir_ + "/damaged", again = dir_ + "/again";
    Result run = Run({"run", FIXTURES_DIR "/damaged_pairs.json", "-o", out, "--simulate"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PA:Pout (data file pout_lp)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PA:PAE (data file pae_lp)"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("PA:Gain"), std::string::npos) << run.out;
    std::string csv = ReadFile(out + "/samples.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "index,|gamma|,angle_deg,re,im,PA:Pout,PA:PAE,PA:Pout LOO,PA:PAE LOO");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 62);  // the stored Coarse grid
    const std::string saved = ReadFile(out + "/damaged_pairs.json");
    EXPECT_NE(saved.find("\"source\": \"pout_lp\""), std::string::npos);
    EXPECT_NE(saved.find("\"source\": \"pae_lp\""), std::string::npos);

    Result second = Run({"run", out + "/damaged_pairs.json", "-o", again, "--simulate", "--quiet"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(ReadFile(again + "/samples.csv"), csv);
}

TEST_F(VexasimProgram, ErrorBoxesAndUnknownNamesMakeTheExitStatusNonZero) {
    Register();
    // No measurement selected: the final window look-up fails and the wizard says so.
    Result none = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/a", "--simulate", "--quiet"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("[Error!] C++ COM ERROR - Problems simulating active schematic"), std::string::npos)
        << none.err;
    Result unknown = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/b", "--measure", "PA:Nope=x",
                          "--simulate", "--quiet"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no measurement named \"PA:Nope\""), std::string::npos) << unknown.err;
    Result radius = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/c", "--center", "0.1@0", "--radius",
                         "0.01", "--quiet"});
    EXPECT_NE(radius.err.find("[Error!] The radius must be greater than or equal to 0.05."), std::string::npos)
        << radius.err;
}

// Host faults from the command line: a stop by the simulator is reported as a stop
// and the saved project keeps the user's tuner; an injection naming no member is refused
// before anything runs.
TEST_F(VexasimProgram, InjectedHostFaults) {
    Register();
    const std::string out = dir_ + "/stopped";
    Result stopped = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--grid", "coarse", "--measure",
                          "PA:Pout=pout_lp", "--simulate", "--quiet", "--inject", "Simulator.Analyze@10=S_FALSE"});
    EXPECT_EQ(stopped.status, 0) << stopped.err;
    EXPECT_NE(stopped.err.find("[Warning!] The simulation was stopped by the simulator after "), std::string::npos)
        << stopped.err;
    EXPECT_EQ(stopped.err.find("the same"), std::string::npos) << stopped.err;
    // The tuner holds the values the example gives it, not those of the last point.
    const nlohmann::json saved = nlohmann::json::parse(ReadFile(out + "/amplifier.json"));
    const nlohmann::json& tuner = saved.at("schematics").at(0).at("elements").at(1);
    EXPECT_EQ(tuner.at("name"), "LTUNER1");
    EXPECT_EQ(tuner.at("parameters"), nlohmann::json::parse(R"({"Mag": 0, "Ang": 0})"));

    Result failed = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/failed", "--grid", "coarse",
                         "--measure", "PA:Pout=pout_lp", "--simulate", "--quiet", "--inject",
                         "DataFiles.Add=0x80030070:The disk is full"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("[Tessary] The disk is full"), std::string::npos) << failed.err;

    const std::string refused = dir_ + "/refused";
    Result unknown = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", refused, "--simulate", "--inject",
                          "Simulator.Analyse@10=S_FALSE"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("no member \"Simulator.Analyse\"; members that can be named:"), std::string::npos)
        << unknown.err;
    EXPECT_NE(unknown.err.find("Simulator.Analyze"), std::string::npos);
    EXPECT_FALSE(Exists(refused));
}

TEST_F(VexasimProgram, MalformedProjectsAreRefusedWithoutOutputs) {
    Register();
    const std::string good = ReadFile(EXAMPLES_DIR "/amplifier.json");
    struct Case {
        const char* from;
        const char* to;
        const char* message;
    };
    const Case cases[] = {
        {"\"Vdd\": 28", "\"Vdd\": \"28\"", "schematics[0].elements[0].parameters.Vdd: expected a number"},
        {"\"name\": \"amplifier\",", "\"name\": \"amplifier\", \"extra\": 1,", "extra: unknown key"},
        {"\"type\": 1,", "", "graphs[0].type: missing"},
        {"\"name\": \"Gain\"}", "\"name\": \"Gian\"}", "graphs[2].measurements[0].name"},
        {"{\"source\": \"PA\", \"name\": \"PAE\"}", "{\"source\": \"PB\", \"name\": \"PAE\"}",
         "graphs[1].measurements[0].source"},
        {"\"schematics\": [", "\"schematics\": {", "not valid JSON"},
        {"\"units\": {\"13\": \"dBm\", \"14\": \"mW\"}", "\"units\": {\"15\": \"dB\"}", "units.15: unknown key"},
        {"\"name\": \"LTUNER1\",", "\"name\": 7,", "schematics[0].elements[1].name: expected a string"},
        {"\"graphs\": [", "\"graphs\": 3, \"x\": [", "graphs: expected an array"},
        {"\"Imax\": 2", "\"Imax\": 1e999", "not valid JSON (number overflow parsing '1e999')"},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string text = good;
        size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, std::string(c.from).size(), c.to);
        std::string path = dir_ + "/bad" + std::to_string(n) + ".json";
        std::ofstream(path) << text;
        std::string out = dir_ + "/out" + std::to_string(n++);
        Result r = Run({"run", path, "-o", out, "--simulate"});
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was written"), std::string::npos);
        EXPECT_FALSE(Exists(out)) << c.message;
    }
}

TEST_F(VexasimProgram, AKilledRunLeavesEarlierOutputsWhole) {
    Register();
    std::string out = dir_ + "/out";
    Result first = Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--grid", "coarse", "--measure",
                        "PA:Pout=pout_lp", "--simulate", "--quiet"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string data = ReadFile(out + "/QuindleIsAHack0.txt");
    const std::string project = ReadFile(out + "/amplifier.json");

    int err[2];
    ASSERT_EQ(::pipe(err), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(err[1], 2);
        ::close(err[0]);
        ::setenv("PLATFORM_REGISTRY", registry_.c_str(), 1);
        ::execl(VEXASIM_BIN, VEXASIM_BIN, "run", (out + "/amplifier.json").c_str(), "-o", out.c_str(), "--grid",
                "extra-fine", "--simulate", "--analysis-delay", "20", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(err[1]);
    // Wait for the sweep to report progress, then kill it.
    std::string seen;
    char buf[256];
    while (seen.find("analysis 3") == std::string::npos) {
        ssize_t n = ::read(err[0], buf, sizeof buf);
        if (n <= 0) break;
        seen.append(buf, static_cast<size_t>(n));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(err[0]);
    EXPECT_TRUE(WIFSIGNALED(status)) << seen;
    EXPECT_EQ(ReadFile(out + "/QuindleIsAHack0.txt"), data);
    EXPECT_EQ(ReadFile(out + "/amplifier.json"), project);
}

// "contour grid maximum V at gamma M at A deg": the value and the gamma.
std::vector<std::array<double, 3>> GridMaxima(const std::string& out) {
    std::vector<std::array<double, 3>> found;
    const std::string key = "contour grid maximum ";
    for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1)) {
        double v = 0, mag = 0, ang = 0;
        if (std::sscanf(out.c_str() + at + key.size(), "%lf at gamma %lf at %lf deg", &v, &mag, &ang) == 3)
            found.push_back({v, mag * std::cos(ang * M_PI / 180), mag * std::sin(ang * M_PI / 180)});
    }
    return found;
}

TEST_F(VexasimProgram, AMovedGridReportsResultsOnlyWhereItSimulated) {
    Register();
    const std::string first = dir_ + "/first", zoom = dir_ + "/zoom";
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", first, "--grid", "coarse", "--measure",
                   "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate", "--quiet"})
                  .status,
              0);
    // Zoomed in on a disc that misses both optima (Pout's near 0.35 at 180 deg).
    Result r = Run({"run", first + "/amplifier.json", "-o", zoom, "--grid", "coarse", "--center", "0.5@90", "--radius",
                    "0.2", "--remove-all", "--measure", "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp",
                    "--simulate", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto maxima = GridMaxima(r.out);
    ASSERT_EQ(maxima.size(), 2u) << r.out;
    for (const auto& m : maxima) EXPECT_LE(std::hypot(m[1], m[2] - 0.5), 0.2 + 1e-3) << r.out;
    EXPECT_LT(maxima[1][0], 100.0) << r.out;  // PAE
    EXPECT_GT(maxima[0][0], 35.0) << r.out;
    size_t edges = 0, loo = 0;
    for (size_t at = r.out.find("on the edge of the simulated region"); at != std::string::npos;
         at = r.out.find("on the edge of the simulated region", at + 1))
        ++edges;
    for (size_t at = r.out.find("  LOO rms "); at != std::string::npos; at = r.out.find("  LOO rms ", at + 1)) ++loo;
    EXPECT_EQ(edges, 2u) << r.out;
    EXPECT_EQ(loo, 2u) << r.out;
    EXPECT_NE(r.out.find(" dB, max "), std::string::npos) << r.out;

    const std::string svg = ReadFile(zoom + "/Load_Pull_Data_Contour_Graph.svg");
    size_t dots = 0;
    for (size_t at = svg.find("class=\"swept-point\""); at != std::string::npos;
         at = svg.find("class=\"swept-point\"", at + 1))
        ++dots;
    EXPECT_EQ(dots, 61u);
    EXPECT_NE(svg.find(">PA:PAE (%)</text>"), std::string::npos);
    EXPECT_EQ(svg.find("earlier run"), std::string::npos);  // the first run's levels only on request
    // The first run's contour measurements stay on the graph and now draw this run's data.
    EXPECT_NE(r.err.find("also draws the contour measurement pout_lp:LPCS[41,22,1] of an earlier run"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("also draws the contour measurement pae_lp:LPCS["), std::string::npos) << r.err;
    // render finds the run's samples beside the project and draws the same points.
    Result again = Run({"render", zoom + "/amplifier.json", "-o", dir_ + "/again.svg"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(ReadFile(dir_ + "/again.svg").find("simulated points (61)"), std::string::npos);
}

TEST_F(VexasimProgram, NoDataFileOverwritesAnother) {
    Register();
    const std::string out = dir_ + "/out";
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--grid", "coarse", "--measure",
                   "PA:Pout=pout_lp", "--simulate", "--quiet"})
                  .status,
              0);
    const std::string pout = ReadFile(out + "/QuindleIsAHack0.txt");
    ASSERT_FALSE(pout.empty());
    // The wizard names the data file it creates for gain "QuindleIsAHack0.txt" too.
    Result r = Run({"run", out + "/amplifier.json", "-o", out, "--grid", "coarse", "--remove-all", "--measure",
                    "PA:Gain=gain_x", "--simulate", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out + "/QuindleIsAHack0.txt"), pout);
    vexasim::ProjectFile saved;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::LoadProjectFile(out + "/amplifier.json", saved, errors));
    ASSERT_EQ(saved.data.dataFiles.size(), 2u);
    EXPECT_EQ(saved.data.dataFiles[0].fileName, saved.data.dataFiles[1].fileName);
    EXPECT_NE(saved.data.dataFiles[0].path, saved.data.dataFiles[1].path);
    EXPECT_EQ(saved.data.dataFiles[0].text, pout);
    EXPECT_NE(saved.data.dataFiles[1].text, pout);
    EXPECT_TRUE(Exists(out + "/" + saved.data.dataFiles[1].path));

    // A project saved before, with both pointing at one file, loads with a warning.
    std::string text = ReadFile(out + "/amplifier.json");
    const std::string second = "\"path\": \"" + saved.data.dataFiles[1].path + "\"";
    text.replace(text.find(second), second.size(), "\"path\": \"QuindleIsAHack0.txt\"");
    std::ofstream(dir_ + "/old.json") << text;
    std::ofstream(dir_ + "/QuindleIsAHack0.txt") << pout;
    Result old = Run({"render", dir_ + "/old.json", "-o", dir_ + "/old.svg"});
    EXPECT_EQ(old.status, 0) << old.err;
    EXPECT_NE(old.err.find("the data files \"pout_lp\" and \"gain_x\" are stored at one path, \"QuindleIsAHack0.txt\""),
              std::string::npos)
        << old.err;
}

}  // namespace
