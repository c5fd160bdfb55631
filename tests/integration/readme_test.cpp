// The README cannot drift from the program: every vexasim command line of its
// code blocks runs here as a user would type it (from the source folder's point
// of view), and the outputs it shows are the program's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include "tests/integration/read_file.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// The code blocks of a Markdown text: language and lines.
std::vector<std::pair<std::string, std::vector<std::string>>> CodeBlocks(const std::string& text) {
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    bool inside = false;
    for (const std::string& l : Lines(text)) {
        if (l.compare(0, 3, "```") == 0) {
            if (!inside) blocks.push_back({l.substr(3), {}});
            inside = !inside;
        } else if (inside) {
            blocks.back().second.push_back(l);
        }
    }
    return blocks;
}

// A command line's words as a POSIX shell splits them (double quotes, "\" line
// continuations and "# comments" are all the README uses).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string w;
    bool quoted = false, any = false;
    for (size_t k = 0; k < line.size(); ++k) {
        const char ch = line[k];
        if (ch == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && ch == '#' && !any) {
            break;
        } else if (!quoted && (ch == ' ' || ch == '\t')) {
            if (any) words.push_back(w);
            w.clear();
            any = false;
        } else {
            w += ch;
            any = true;
        }
    }
    if (any) words.push_back(w);
    return words;
}

struct Result {
    int status = -1;
    std::string out, err;
};

class Readme : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexasim-readme-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(::symlink(EXAMPLES_DIR, (dir_ + "/examples").c_str()), 0);
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

    // Runs vexasim in the test's folder, the README's build paths taken for this build's.
    Result Run(std::vector<std::string> words) {
        const std::map<std::string, std::string> paths = {{"build/release/bin/vexasim", VEXASIM_BIN},
                                                          {"build/release/component/LPTuner.so", WIZARD_MODULE}};
        std::string cmd = "cd '" + dir_ + "' && PLATFORM_REGISTRY='" + dir_ + "/registry.txt'";
        for (const std::string& w : words) {
            auto p = paths.find(w);
            cmd += " '" + (p == paths.end() ? w : p->second) + "'";
        }
        cmd += " >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr' </dev/null";
        Result r;
        const int s = std::system(cmd.c_str());
        r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
        r.out = ReadFile(dir_ + "/stdout");
        r.err = ReadFile(dir_ + "/stderr");
        return r;
    }

    std::string dir_;
};

TEST_F(Readme, EveryCommandLineRunsAndPrintsWhatTheReadmeShows) {
    const std::string readme = ReadFile(EXAMPLES_DIR "/../README.md");
    ASSERT_FALSE(readme.empty());
    const auto blocks = CodeBlocks(readme);

    // The demo's output block: the summary is the program's stdout, line for line.
    Result demo = Run({"build/release/bin/vexasim", "register", "build/release/component/LPTuner.so"});
    ASSERT_EQ(demo.status, 0) << demo.err;
    demo = Run({"build/release/bin/vexasim", "run", "examples/amplifier.json", "-o", "out/demo", "--grid", "medium",
                "--measure", "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate"});
    ASSERT_EQ(demo.status, 0) << demo.err;
    bool shown = false;
    for (const auto& b : blocks) {
        if (b.first != "" || b.second.empty() || b.second[0].compare(0, 9, "analysis ") != 0) continue;
        shown = true;
        std::string summary;
        for (const std::string& l : b.second) {
            if (l.compare(0, 3, "PA:") == 0 || l.compare(0, 2, "  ") == 0) summary += l + "\n";
            if (l.compare(0, 9, "analysis ") == 0 || l.compare(0, 12, "the wizard s") == 0 ||
                l.compare(0, 15, "outputs written") == 0) {
                EXPECT_NE(demo.err.find(l), std::string::npos) << l << "\n" << demo.err;
            }
        }
        // The block lists the outputs too: the summary ends at the blank line before them.
        EXPECT_EQ(demo.out, summary.substr(0, summary.find("\n  Load_Pull") + 1));
    }
    EXPECT_TRUE(shown);

    // Every vexasim command line of the shell blocks, in order: a documented
    // command is never refused (exit status 2) or told it has an unknown option.
    int ran = 0;
    for (const auto& b : blocks) {
        if (b.first != "sh") continue;
        std::string line;
        for (const std::string& l : b.second) {
            line += l;
            if (!line.empty() && line.back() == '\\') {
                line.pop_back();
                continue;
            }
            std::vector<std::string> words = Words(line);
            line.clear();
            if (words.empty() || words[0] != "build/release/bin/vexasim") continue;
            // The drive-up examples take minutes under the sanitizers: what is checked of
            // them here is that their project loads and their options are taken, so
            // the host stops their sweep after two analyses.
            const bool driveUp =
                std::find(words.begin(), words.end(), "examples/mosfet_pa_compression.json") != words.end();
            if (driveUp && words.size() > 1 && words[1] == "run") {
                words.push_back("--inject");
                words.push_back("Simulator.Analyze@3=S_FALSE");
            }
            const Result r = Run(words);
            ++ran;
            std::string all;
            for (const auto& w : words) all += w + " ";
            EXPECT_NE(r.status, 2) << all << "\n" << r.err;
            EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << all << "\n" << r.err;
            // What the README says of the two injections.
            if (all.find("Simulator.Analyze@10=S_FALSE") != std::string::npos) {
                const size_t at = r.err.find("The simulation was stopped by the simulator after ");
                ASSERT_NE(at, std::string::npos) << r.err;
                const std::string said = r.err.substr(at, r.err.find('\n', at) - at);
                std::string prose = readme;  // the sentence may wrap
                for (char& ch : prose) ch = ch == '\n' ? ' ' : ch;
                EXPECT_NE(prose.find("\"" + said + "\""), std::string::npos) << said;
            }
            if (all.find("DataFiles.Add=0x80030070") != std::string::npos) {
                EXPECT_EQ(r.status, 1) << r.err;
            }
            // The MOSFET example's output blocks: its run, and its pursuit right after the command.
            if (all.find("mosfet_pa.json") != std::string::npos) {
                const bool pursuit = all.find("--pursue") != std::string::npos;
                const std::string lead = pursuit ? "--pursue Pout,PAE\n```\n\n```\n" : "The run prints:\n\n```\n";
                const size_t at = readme.find(lead);
                ASSERT_NE(at, std::string::npos);
                const size_t from = at + lead.size();
                EXPECT_EQ(r.out, readme.substr(from, readme.find("```", from) - from));
            }
        }
    }
    EXPECT_GE(ran, 10);

    // A script with the README's kinds of action, an answer to a message box among them.
    std::ofstream(dir_ + "/script.txt") << "select 1018 0\nanswer 1\nhighlight 1022 0 0\nclick 1044\n";
    Result script = Run({"build/release/bin/vexasim", "run", "examples/amplifier.json", "-o", "out/script", "--script",
                         "script.txt", "--quiet"});
    EXPECT_EQ(script.err.find("script.txt:"), std::string::npos) << script.err;

    // Both helps print the usage.
    for (const std::vector<std::string>& help :
         {std::vector<std::string>{"build/release/bin/vexasim", "--help"},
          std::vector<std::string>{"build/release/bin/vexasim", "run", "--help"}}) {
        const Result r = Run(help);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.compare(0, 7, "usage:\n"), 0) << r.out;
    }
}

}  // namespace
