// Runs that do not end well never strand the user's work: whatever a stopped or
// failed run saves loads and runs again, and Ctrl-C stops the sweep the way a
// host stops an add-in and writes what was done.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "vexasim/project_file/project_file.h"
#include "vexasim/host.h"
#include "tests/integration/read_file.h"

namespace {

std::vector<std::string> FolderFiles(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class StoppedRuns : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexasim-stopped-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        registry_ = dir_ + "/registry.json";
        ASSERT_EQ(Run({"register", WIZARD_MODULE}), 0);
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

    int Run(const std::vector<std::string>& args) {
        std::string cmd = "PLATFORM_REGISTRY='" + registry_ + "' '" VEXASIM_BIN "'";
        for (const auto& a : args) cmd += " '" + a + "'";
        cmd += " >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr'";
        const int s = std::system(cmd.c_str());
        err_ = ReadFile(dir_ + "/stderr");
        return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    }

    // Starts a run whose stderr the test reads.
    pid_t Start(const std::vector<std::string>& args, int& stderrPipe) {
        int err[2];
        if (::pipe(err) != 0) return -1;
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(err[1], 2);
            ::close(err[0]);
            ::setenv("PLATFORM_REGISTRY", registry_.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(VEXASIM_BIN)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(VEXASIM_BIN, argv.data());
            ::_exit(127);
        }
        ::close(err[1]);
        stderrPipe = err[0];
        return pid;
    }

    std::string dir_, registry_, err_;
};

// Every member an injection can name, stopped (S_FALSE) at its first call and in
// the middle of the sweep, and failed there: each project the host saves loads again,
// and a run of it with its stored settings loads it too.
TEST_F(StoppedRuns, EveryProjectAStoppedOrFailedRunSavesLoadsAndRunsAgain) {
    std::set<std::string> seen;
    int saved = 0, stopsSaved = 0;
    for (const std::string& member : vexasim::Host::Members()) {
        for (const std::string& fault : {member + "@1=S_FALSE", member + "@25=S_FALSE",
                                         member + "@25=0x80004005:injected failure"}) {
            const std::string out = dir_ + "/out";
            ASSERT_EQ(std::system(("rm -rf '" + out + "'").c_str()), 0);
            Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--grid", "coarse", "--measure", "PA:Pout=pout_lp",
                 "--simulate", "--quiet", "--inject", fault});
            const std::string project = ReadFile(out + "/amplifier.json");
            if (project.empty() || !seen.insert(project).second) continue;
            ++saved;
            if (project.find("Tuner Impedances") != std::string::npos) ++stopsSaved;
            vexasim::ProjectFile p;
            std::vector<std::string> errors;
            EXPECT_TRUE(vexasim::LoadProjectFile(out + "/amplifier.json", p, errors))
                << fault << ": " << (errors.empty() ? "" : errors.front());
            const int again = Run({"run", out + "/amplifier.json", "-o", dir_ + "/again", "--simulate", "--quiet"});
            EXPECT_NE(again, 2) << fault << ": " << err_;
            EXPECT_EQ(err_.find("was not loaded"), std::string::npos) << fault << ": " << err_;
            const int rendered = Run({"render", out + "/amplifier.json", "-o", dir_ + "/chart.svg"});
            EXPECT_TRUE(rendered == 0 || err_.find("the project has no graph of type 2") != std::string::npos)
                << fault << ": " << err_;
        }
    }
    EXPECT_GT(saved, 10);
    EXPECT_GT(stopsSaved, 0);  // a stopped sweep leaves its working graph, with the points, in the project

    // The working graph's values come back as they were saved.
    const std::string out = dir_ + "/stopped";
    ASSERT_EQ(Run({"run", EXAMPLES_DIR "/amplifier.json", "-o", out, "--grid", "coarse", "--measure",
                   "PA:Pout=pout_lp", "--simulate", "--quiet", "--inject", "Simulator.Analyze@10=S_FALSE"}),
              0);
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::LoadProjectFile(out + "/amplifier.json", p, errors));
    const vexasim::GraphData& points = p.data.graphs.back();
    ASSERT_EQ(points.name, "Load Pull Points");
    ASSERT_EQ(points.measurements.size(), 2u);
    EXPECT_EQ(points.measurements[0].source, "Tuner Impedances");
    EXPECT_EQ(points.measurements[0].resultType, 2);
    ASSERT_EQ(points.measurements[0].points.size(), 61u);  // the Coarse grid
    EXPECT_DOUBLE_EQ(points.measurements[0].xValues[60], 61.0);
    EXPECT_EQ(vexasim::SerializeProject(p), ReadFile(out + "/amplifier.json"));
}

// A small circuit, so that the run has an ngspice log.
const char* const kCircuitProject = R"json({"name": "lin", "schematics": [{"name": "SRC", "elements": [
  {"name": "X1", "parameters": {"Vdd": 0, "Vs": 10},
   "circuit": {"netlist": ["Vs s 0 sin(0 {vs} {f0})", "Rs s a 25", "Ls a out 170n"],
               "output": "out", "frequency": 14e6, "drive": "Vs"}},
  {"name": "LTUNER1", "parameters": {"Mag": 0, "Ang": 0}}]}],
  "graphs": [{"name": "P", "type": 1, "measurements": [{"source": "SRC", "name": "Pout"}]}]})json";

TEST_F(StoppedRuns, CtrlCStopsTheSweepWritesWhatWasDoneAndASecondEndsAtOnce) {
    const std::string project = dir_ + "/lin.json", out = dir_ + "/out";
    std::ofstream(project) << kCircuitProject;
    const std::vector<std::string> args = {"run", project, "-o", out, "--grid", "coarse", "--measure",
                                           "SRC:Pout=pout_lp", "--simulate", "--analysis-delay", "40"};
    ASSERT_EQ(Run({"run", project, "-o", out, "--grid", "coarse", "--measure", "SRC:Pout=pout_lp", "--simulate"}), 0)
        << err_;
    const std::vector<std::string> files = FolderFiles(out);
    ASSERT_TRUE(std::find(files.begin(), files.end(), "ngspice.log") != files.end());
    const std::string firstLog = ReadFile(out + "/ngspice.log");

    // The first signal: the sweep stops at the next analysis, and the run writes
    // the completed ones and the project, and says it was interrupted.
    auto interrupt = [&](int signals, std::string& seen) {
        int err = -1;
        pid_t pid = Start(args, err);
        char buf[256];
        while (seen.find("analysis 13 of 61") == std::string::npos) {
            ssize_t n = ::read(err, buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, static_cast<size_t>(n));
        }
        for (int k = 0; k < signals; ++k) ::kill(pid, k ? SIGINT : SIGTERM);
        for (ssize_t n; (n = ::read(err, buf, sizeof buf)) > 0;) seen.append(buf, static_cast<size_t>(n));
        ::close(err);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    };
    std::string seen;
    int status = interrupt(1, seen);
    ASSERT_TRUE(WIFEXITED(status)) << seen;
    EXPECT_EQ(WEXITSTATUS(status), 130) << seen;
    const size_t at = seen.find("stopped by the simulator after ");
    ASSERT_NE(at, std::string::npos) << seen;
    const int done = std::atoi(seen.c_str() + at + 31);
    EXPECT_GE(done, 13);
    EXPECT_LT(done, 61);
    const std::string csv = ReadFile(out + "/samples.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), done + 1) << csv;
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    EXPECT_TRUE(vexasim::LoadProjectFile(out + "/lin.json", p, errors)) << (errors.empty() ? "" : errors.front());
    for (const std::string& f : FolderFiles(out)) EXPECT_EQ(f.find(".tmp-"), std::string::npos) << f;
    const std::string log = ReadFile(out + "/ngspice.log"), saved = ReadFile(out + "/lin.json");
    EXPECT_NE(log.find("Circuit: * vexasim circuit"), std::string::npos);
    EXPECT_NE(log, firstLog);  // the log of this run, whole

    // A second signal ends the run at once: the earlier outputs stay whole.
    seen.clear();
    status = interrupt(2, seen);
    ASSERT_TRUE(WIFEXITED(status)) << seen;
    EXPECT_EQ(WEXITSTATUS(status), 130) << seen;
    EXPECT_EQ(seen.find("outputs written"), std::string::npos) << seen;
    EXPECT_EQ(ReadFile(out + "/samples.csv"), csv);
    EXPECT_EQ(ReadFile(out + "/lin.json"), saved);
    EXPECT_EQ(ReadFile(out + "/ngspice.log"), log);
}

}  // namespace
