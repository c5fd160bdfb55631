// The wizard's dialogs in the terminal, used as a person uses them: vexasim runs in
// a detached tmux session of a fixed size, the test reads the screen and types.
// Each test has a tmux server of its own (its own socket) and ends it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include "tests/integration/read_file.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command; its exit status, its stdout in `out`.
int Shell(const std::string& command, std::string* out = nullptr) {
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int s = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
}

const auto kTimeout = std::chrono::seconds(60);

class TerminalDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Shell("command -v tmux >/dev/null"), 0) << "tmux is not installed (scripts/bootstrap installs it)";
        char tmpl[] = "/tmp/vexasim-terminal-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        socket_ = "lpt-test-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        // No user configuration; a terminal type every system knows.
        std::ofstream(dir_ + "/tmux.conf") << "set -g default-terminal screen\nset -g history-limit 100\n";
        ASSERT_EQ(Vexasim({"register", WIZARD_MODULE}), 0);
    }
    void TearDown() override {
        Tmux("kill-server");
        if (!HasFailure()) Shell("rm -rf " + Quote(dir_));
    }

    std::string Env() const { return "PLATFORM_REGISTRY=" + Quote(dir_ + "/registry.txt") + " "; }

    // vexasim without a terminal, as a batch run.
    int Vexasim(const std::vector<std::string>& args) {
        std::string cmd = Env() + Quote(VEXASIM_BIN);
        for (const auto& a : args) cmd += " " + Quote(a);
        cmd += " </dev/null >>" + Quote(dir_ + "/batch.log") + " 2>&1";
        return Shell(cmd);
    }

    int Tmux(const std::string& args, std::string* out = nullptr) {
        return Shell("tmux -L " + Quote(socket_) + " -f " + Quote(dir_ + "/tmux.conf") + " " + args + " 2>/dev/null",
                     out);
    }

    // Starts vexasim with `args` in a session of `cols` x `rows`; its exit status goes
    // to the file "status" and the pane stays for reading.
    void Start(const std::vector<std::string>& args, int cols = 120, int rows = 45) {
        std::string cmd = Env() + Quote(VEXASIM_BIN);
        for (const auto& a : args) cmd += " " + Quote(a);
        cmd += "; echo $? >" + Quote(dir_ + "/status") + "; exec sleep 600";
        // A session of its own each time: the previous one stays until the server ends.
        session_ = "run" + std::to_string(++sessions_);
        ::unlink((dir_ + "/status").c_str());
        ASSERT_EQ(Tmux("new-session -d -s " + session_ + " -x " + std::to_string(cols) + " -y " + std::to_string(rows) + " " +
                       Quote(cmd)),
                  0);
    }

    std::string Screen() {
        std::string out;
        Tmux("capture-pane -p -t " + session_, &out);
        return out;
    }

    // Polls the screen until it shows `text`; the screen last seen.
    bool WaitFor(const std::string& text, std::string* seen = nullptr) {
        const auto end = std::chrono::steady_clock::now() + kTimeout;
        std::string s;
        do {
            s = Screen();
            if (s.find(text) != std::string::npos) {
                if (seen) *seen = s;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end);
        if (seen) *seen = s;
        return false;
    }

    // Polls until the screen no longer shows `text`.
    bool WaitUntilGone(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + kTimeout;
        do {
            if (Screen().find(text) == std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    void Keys(const std::string& keys) { ASSERT_EQ(Tmux("send-keys -t " + session_ + " " + keys), 0); }

    // Waits for vexasim to end; its exit status.
    int ExitStatus() {
        const auto end = std::chrono::steady_clock::now() + kTimeout;
        while (std::chrono::steady_clock::now() < end) {
            std::string s = ReadFile(dir_ + "/status");
            if (!s.empty() && s.back() == '\n') return std::atoi(s.c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    // The row of the screen on which `text` stands and its column, or -1.
    static void Find(const std::string& screen, const std::string& text, int& row, int& col) {
        std::istringstream in(screen);
        std::string line;
        row = col = -1;
        for (int r = 0; std::getline(in, line); ++r) {
            const size_t at = line.find(text);
            if (at == std::string::npos) continue;
            row = r;
            col = 0;
            // Columns count characters: the frame's lines are several bytes each.
            for (size_t i = 0; i < at; ++i)
                if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
            return;
        }
    }

    // A project whose stored settings are those of the demo: Coarse grid, PA:Pout and PA:PAE.
    std::string DemoProject() {
        EXPECT_EQ(Vexasim({"run", EXAMPLES_DIR "/amplifier.json", "-o", dir_ + "/demo", "--grid", "coarse",
                           "--measure", "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate"}),
                  0)
            << ReadFile(dir_ + "/batch.log");
        return dir_ + "/demo/amplifier.json";
    }

    std::string dir_, socket_, session_;
    int sessions_ = 0;
};

TEST_F(TerminalDialog, ShowsDialog102AtItsLayoutAndEscCancelsAsAScriptedRunDoes) {
    const std::string project = DemoProject();
    // What a cancelled scripted run gives, for comparison.
    const int cancelledStatus = Vexasim({"run", project, "-o", dir_ + "/batch-cancel"});

    Start({"run", project, "-o", dir_ + "/out"});
    std::string screen;
    ASSERT_TRUE(WaitFor("Select Schematic with Tuner", &screen)) << screen;
    for (const char* text : {"Vexa Tessary Wizard", "Simulate", "Cancel", "Select Tuner", "LTUNER1", "Add...",
                             "Remove All", "Tune Harmonic", "(*) 1st (Fundamental)", "Center Mag (>= 0)", "Coarse",
                             "Extra Fine", "PA:Pout", "PA:PAE"})
        EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
    // 369 x 274 dialog units are 93 x 35 cells and a border, centred in 120 x 45.
    int row = 0, col = 0;
    Find(screen, "Vexa Tessary Wizard", row, col);
    EXPECT_EQ(row, 4);
    Find(screen, "Select Schematic with Tuner", row, col);
    EXPECT_EQ(row, 6);
    EXPECT_EQ(col, (120 - 95) / 2 + 1 + 15 / 4);
    Find(screen, "Simulate", row, col);
    EXPECT_EQ(row, 5 + (253 + 7) / 8);
    int cancelRow = 0, cancelCol = 0;
    Find(screen, "Cancel ]", cancelRow, cancelCol);
    EXPECT_EQ(cancelRow, row);
    EXPECT_GT(cancelCol, col);
    // Simulate is the default button and has the focus: marked twice.
    EXPECT_NE(screen.find("[[Simulate]]"), std::string::npos) << screen;

    Keys("Escape");
    EXPECT_EQ(ExitStatus(), cancelledStatus);
    // Cancelled, as by a scripted run: the project stays as it was and nothing is written.
    EXPECT_FALSE(Exists(dir_ + "/batch-cancel"));
    EXPECT_FALSE(Exists(dir_ + "/out"));
    std::string screen2;
    EXPECT_TRUE(WaitFor("the wizard was cancelled; nothing was written", &screen2)) << screen2;
}

TEST_F(TerminalDialog, EnterSimulatesWithTheStoredSettingsAndTheProgressFollows) {
    const std::string project = DemoProject();
    Start({"run", project, "-o", dir_ + "/out"});
    ASSERT_TRUE(WaitFor("[[Simulate]]"));
    Keys("Enter");
    ASSERT_EQ(ExitStatus(), 0) << Screen();
    EXPECT_TRUE(Exists(dir_ + "/out/samples.csv"));
    EXPECT_EQ(ReadFile(dir_ + "/out/samples.csv"), ReadFile(dir_ + "/demo/samples.csv"));
    std::string screen;
    // The dialog is gone; the summary is on the terminal as after a scripted run.
    ASSERT_TRUE(WaitFor("PA:Pout (data file pout_lp)", &screen)) << screen;
    EXPECT_EQ(screen.find("Select Schematic with Tuner"), std::string::npos) << screen;
}

TEST_F(TerminalDialog, AddAMeasurementWithTheKeyboardAndSimulate) {
    const std::string project = DemoProject();
    Start({"run", project, "-o", dir_ + "/out"});
    ASSERT_TRUE(WaitFor("[[Simulate]]"));
    // Simulate, Cancel, schematic, tuner, measurement list, then Add...
    Keys("Tab Tab Tab Tab Tab");
    ASSERT_TRUE(WaitFor("[[Add...]]"));
    Keys("Space");
    std::string screen;
    ASSERT_TRUE(WaitFor("Enter Name of Data File to be Created", &screen)) << screen;
    // OK, Cancel, then the list of valid measurements: Alt+Down opens it.
    Keys("Tab Tab M-Down");
    ASSERT_TRUE(WaitFor("PA:Gain", &screen)) << screen;
    // Valid are the measurements not contoured yet: PA:PoutW, PA:DE, PA:Gain.
    Keys("Down Down Enter");
    ASSERT_TRUE(WaitFor("[PA:Gain ", &screen)) << screen;
    Keys("Tab");
    Keys("-l gain_lp");
    ASSERT_TRUE(WaitFor("[gain_lp ", &screen)) << screen;
    Keys("Enter");
    ASSERT_TRUE(WaitUntilGone("Enter Name of Data File"));
    ASSERT_TRUE(WaitFor("PA:Gain ----> gain_lp", &screen)) << screen;
    // Back to Simulate: Add..., list, tuner, schematic, Cancel, Simulate.
    Keys("BTab BTab BTab BTab BTab");
    ASSERT_TRUE(WaitFor("[[Simulate]]"));
    Keys("Enter");
    ASSERT_EQ(ExitStatus(), 0) << Screen();
    // The third data file of the project, beside it, and the gain in the samples.
    EXPECT_NE(ReadFile(dir_ + "/out/amplifier.json").find("\"name\": \"gain_lp\""), std::string::npos);
    EXPECT_TRUE(Exists(dir_ + "/out/QuindleIsAHack2.txt"));
    EXPECT_NE(ReadFile(dir_ + "/out/samples.csv").find("PA:Gain"), std::string::npos);
}

TEST_F(TerminalDialog, ATerminalTooSmallIsToldTheSizeTheDialogNeeds) {
    const std::string project = DemoProject();
    Start({"run", project, "-o", dir_ + "/out"}, 80, 24);
    std::string screen;
    ASSERT_TRUE(WaitFor("needs a terminal of 95 x 37 characters", &screen)) << screen;
    EXPECT_NE(screen.find("this one is 80 x 24"), std::string::npos) << screen;
    // Made large enough, the dialog appears.
    Tmux("resize-window -t " + session_ + " -x 120 -y 45");
    ASSERT_TRUE(WaitFor("Select Schematic with Tuner", &screen)) << screen;
    Keys("Escape");
    EXPECT_EQ(ExitStatus(), 0);
    EXPECT_FALSE(Exists(dir_ + "/out/samples.csv"));
}

TEST_F(TerminalDialog, AMouseClickFocusesAndPresses) {
    const std::string project = DemoProject();
    Start({"run", project, "-o", dir_ + "/out"});
    std::string screen;
    ASSERT_TRUE(WaitFor("( ) Medium", &screen)) << screen;
    // The terminal reports a click of the left button as ESC [ M, the button and the
    // column and row, each plus 32 and counted from 1.
    auto click = [&](const std::string& text) {
        int row = -1, col = -1;
        Find(Screen(), text, row, col);
        ASSERT_GE(row, 0) << text;
        std::string report;
        for (char button : {' ', '#'})  // pressed, released
            report += std::string("\x1b[M") + button + static_cast<char>(33 + col) + static_cast<char>(33 + row);
        Keys("-l " + Quote(report));
    };
    click("( ) Medium");
    ASSERT_TRUE(WaitFor("(*) Medium", &screen)) << screen;
    EXPECT_NE(screen.find("( ) Coarse"), std::string::npos) << screen;
    // A click on the tuner list drops it down; one on an entry takes it.
    click("[LTUNER1 ");
    ASSERT_TRUE(WaitFor("│LTUNER1 ", &screen)) << screen;
    click("│LTUNER1 ");
    ASSERT_TRUE(WaitUntilGone("│LTUNER1 "));
    click("[ Cancel ]");
    EXPECT_EQ(ExitStatus(), 0);
    EXPECT_FALSE(Exists(dir_ + "/out"));
}

TEST_F(TerminalDialog, AnErrorBoxShowsOverTheDialogAndIsAnswered) {
    const std::string project = DemoProject();
    Start({"run", project, "-o", dir_ + "/out"});
    ASSERT_TRUE(WaitFor("[[Simulate]]"));
    // Simulate, Cancel, schematic, tuner, list, Add..., Remove All, 1st, Specify, then the
    // centre's magnitude and angle, then the radius.
    Keys("Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab");
    Keys("-l 0.01");
    std::string screen;
    ASSERT_TRUE(WaitFor("[0.01 ", &screen)) << screen;
    Keys("Tab Space");
    ASSERT_TRUE(WaitFor("The radius must be greater than or equal to 0.05.", &screen)) << screen;
    EXPECT_NE(screen.find("Error!"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[[ OK ]]"), std::string::npos) << screen;
    Keys("Enter");
    ASSERT_TRUE(WaitUntilGone("The radius must be"));
    Keys("Escape");
    // As a scripted run that met an error box: exit status 1, and nothing written.
    EXPECT_EQ(ExitStatus(), 1);
    EXPECT_FALSE(Exists(dir_ + "/out"));
}

TEST_F(TerminalDialog, WithoutATerminalRunsStayScripted) {
    const std::string project = DemoProject();
    // No dialog option and no terminal: cancelled as before, nothing simulated.
    EXPECT_EQ(Vexasim({"run", project, "-o", dir_ + "/plain"}), 0);
    EXPECT_FALSE(Exists(dir_ + "/plain/samples.csv"));
    // --interactive insists on a terminal, and takes no dialog options.
    EXPECT_EQ(Vexasim({"run", project, "-o", dir_ + "/forced", "--interactive"}), 2);
    EXPECT_NE(ReadFile(dir_ + "/batch.log").find("--interactive needs a terminal"), std::string::npos);
    EXPECT_FALSE(Exists(dir_ + "/forced"));
    Start({"run", project, "-o", dir_ + "/both", "--interactive", "--simulate"});
    EXPECT_EQ(ExitStatus(), 2);
    EXPECT_FALSE(Exists(dir_ + "/both"));
    // Dialog options in a terminal keep the scripted user.
    Start({"run", project, "-o", dir_ + "/scripted", "--simulate"});
    EXPECT_EQ(ExitStatus(), 0);
    EXPECT_TRUE(Exists(dir_ + "/scripted/samples.csv"));
}

}  // namespace
