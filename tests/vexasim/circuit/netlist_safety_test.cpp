// Other people's netlists: included files are read beside the project and only
// from inside its folder, nothing a netlist or a start-up file holds runs a
// command, and a netlist that ngspice would change to load it is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "vexasim/project_file/project_file.h"
#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/circuit/netlist_safety.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

class Folder {
public:
    Folder() {
        char tmpl[] = "/tmp/vexasim-netlist-XXXXXX";
        if (::mkdtemp(tmpl)) path = tmpl;
    }
    ~Folder() { EXPECT_EQ(std::system(("rm -rf '" + path + "'").c_str()), 0); }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(path + "/" + name) << text; }
    std::string path;
};

// A linear source into the tuner, with netlist lines of the test's choosing after it.
std::string Project(const std::string& moreLines) {
    return R"json({"name": "lin", "schematics": [{"name": "SRC", "elements": [
      {"name": "X1", "parameters": {"Vdd": 0, "Vs": 10},
       "circuit": {"netlist": ["Vs s 0 sin(0 {vs} {f0})", "Rs s out 50")json" +
           moreLines + R"json(], "output": "out", "frequency": 14e6, "drive": "Vs"}},
      {"name": "LTUNER1", "parameters": {"Mag": 0, "Ang": 0}}]}],
     "graphs": [{"name": "P", "type": 1, "measurements": [{"source": "SRC", "name": "Pout"}]}]})json";
}

// Loads a project from the folder, the engine checking its circuit; the errors, or
// "<loaded>" and the netlist the host kept.
std::string Load(const Folder& f, const std::string& text, std::string* netlist = nullptr) {
    f.Write("p.json", text);
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    if (vexasim::LoadProjectFile(f.path + "/p.json", p, errors)) {
        if (netlist) *netlist = p.data.schematics[0].elements[0].circuit.netlist;
        return "<loaded>";
    }
    std::string all;
    for (const auto& e : errors) all += e + "\n";
    return all;
}

TEST(NetlistSafety, IncludedFilesComeFromTheProjectsFolderAndRunNothing) {
    Folder f;
    const std::string marker = f.path + "/marker";
    f.Write("evil.inc", "* looks like a model\n.control\nshell touch " + marker + "\n.endc\n");
    f.Write("hash.inc", "*# shell touch " + marker + "\n");
    f.Write("load.inc", "* the load\nRl out 0 1k\n");
    f.Write("parts.lib", ".lib slow\nCs out 0 1p\n.endl\n.lib fast\n.include load.inc\n.endl\n");
    f.Write("loop.inc", ".include loop.inc\n");
    ::mkdir((f.path + "/sub").c_str(), 0755);
    f.Write("sub/up.inc", ".include ../load.inc\n");
    f.Write("sub/side.inc", ".include model.inc\n");
    f.Write("sub/model.inc", "Cl out 0 1p\n");
    ASSERT_EQ(::symlink("/etc/passwd", (f.path + "/passwd.inc").c_str()), 0);

    const std::string at = "p.json: schematics[0].elements[0].circuit.netlist";
    std::string e = Load(f, Project(", \".include evil.inc\""));
    EXPECT_NE(e.find(at + ": evil.inc line 2: .control: a control block runs ngspice commands"), std::string::npos) << e;
    EXPECT_NE(Load(f, Project(", \".include hash.inc\"")).find(at + ": hash.inc line 1: ngspice runs a line starting with \"*#\""),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \"*# shell touch " + marker + "\"")).find(at + " line 3: ngspice runs a line"),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \".control\", \"shell touch " + marker + "\", \".endc\""))
                  .find(at + " line 3: .control"),
              std::string::npos);
    e = Load(f, Project(", \".include /etc/passwd\""));
    EXPECT_NE(e.find(at + " line 3: \"/etc/passwd\" is not a relative path inside the project's folder"), std::string::npos)
        << e;
    EXPECT_EQ(e.find("root:"), std::string::npos) << e;
    e = Load(f, Project(", \".inc passwd.inc\""));
    EXPECT_NE(e.find("\"passwd.inc\" leads out of the project's folder"), std::string::npos) << e;
    EXPECT_EQ(e.find("root:"), std::string::npos) << e;
    EXPECT_NE(Load(f, Project(", \".lib '../parts.lib' fast\"")).find("\"../parts.lib\" leaves the project's folder"),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \".include loop.inc\"")).find("loop.inc line 1: \"loop.inc\" includes itself"),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \".include missing.inc\"")).find(at + " line 3: cannot read \"missing.inc\""),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \".lib parts.lib typical\"")).find("\"parts.lib\" has no section typical"),
              std::string::npos);
    EXPECT_NE(Load(f, Project(", \".include\"")).find(at + " line 3: expected .include FILE"), std::string::npos);
    EXPECT_NE(Load(f, Project(", \".lib parts.lib\"")).find(at + " line 3: .lib parts.lib has no .endl"),
              std::string::npos);
    // Each parameter is a .param line of the deck: its name cannot carry more.
    std::string named = Project("");
    named.replace(named.find("\"Vs\": 10"), 8, "\"Vs\": 10, \"x=1 .control\": 1, \"2x\": 1");
    e = Load(f, named);
    EXPECT_NE(e.find("elements[0].parameters.x=1 .control: a circuit element's parameter needs a name of letters"),
              std::string::npos) << e;
    EXPECT_NE(e.find("elements[0].parameters.2x: a circuit"), std::string::npos) << e;
    // What reads or runs files: code models and compiled models, and every command.
    for (const char* line : {"A1 out filesrc", "N1 out 0 va", ".osdi lib.osdi", ".print tran v(out)", ".endc"})
        EXPECT_NE(Load(f, Project(std::string(", \"") + line + "\"")).find(at + " line 3: "), std::string::npos) << line;
    EXPECT_FALSE(Exists(marker));

    // Relative names are read beside the project, inlined, and their own names
    // beside the file that names them; a .lib takes its section only.
    std::string netlist;
    ASSERT_EQ(Load(f, Project(", \".lib parts.lib fast\""), &netlist), "<loaded>");
    EXPECT_EQ(netlist, "Vs s 0 sin(0 {vs} {f0})\nRs s out 50\n* the load\nRl out 0 1k\n");
    ASSERT_EQ(Load(f, Project(", \".include sub/up.inc\""), &netlist), "<loaded>");
    EXPECT_EQ(netlist, "Vs s 0 sin(0 {vs} {f0})\nRs s out 50\n* the load\nRl out 0 1k\n");
    ASSERT_EQ(Load(f, Project(", \".include sub/side.inc\""), &netlist), "<loaded>");
    EXPECT_EQ(netlist, "Vs s 0 sin(0 {vs} {f0})\nRs s out 50\nCl out 0 1p\n");

    // The engine refuses an unchecked netlist however it was made.
    vexasim::CircuitData c;
    c.netlist = "Vs out 0 sin(0 1 {f0})\n.include load.inc\n";
    c.output = "out";
    c.drive = "Vs";
    c.frequency = 1e6;
    std::string error;
    EXPECT_FALSE(circuit::CheckCircuit(c, {{"Vdd", 0.0}}, error));
    EXPECT_NE(error.find("netlist line 2: .include names a file"), std::string::npos) << error;
}

// The checks on lines as the engine makes them, whoever built the netlist.
TEST(NetlistSafety, OnlyLinesThatDescribeACircuitPass) {
    EXPECT_TRUE(circuit::NetlistSafetyProblems("* title\nR1 a 0 1k $ load (\n.param x=1\n+ y=2\n.model d d(is=1n)\n"
                                               ".subckt s a\nC1 a 0 1p\n.ends\n.options reltol=1e-4\n")
                    .empty());
    const auto one = [](const std::string& netlist) {
        const std::vector<std::string> p = circuit::NetlistSafetyProblems(netlist, "pa.cir");
        return p.size() == 1 ? p[0] : "<" + std::to_string(p.size()) + " problems>";
    };
    EXPECT_EQ(one("R1 a 0 1k\n.tran 1n 1u\n"), "pa.cir line 2: .tran is written by the engine; leave it out");
    EXPECT_EQ(one(".end\n"), "pa.cir line 1: .end is written by the engine; leave it out");
    EXPECT_EQ(one("R1 a 0 1k\n.title x\n").find("pa.cir line 2: .title is not taken in a netlist (only .param"), 0u);
    EXPECT_EQ(one("+ 1k\n"), "pa.cir line 1: a continuation line (+) continues no line");
    EXPECT_EQ(one("R1 a 0\t1k\x01\n"), "pa.cir line 1: holds a control character");
    EXPECT_EQ(one("1R a 0 1k\n"), "pa.cir line 1: \"1R\" is neither an element, a comment nor a dot command");
    EXPECT_EQ(one("R1 a 0 {x\n+ }\n"), "<0 problems>");  // a continuation closes the brace
    EXPECT_EQ(one("V1 a 0 sin(0 1 1k) ; note)\n"), "<0 problems>");
    EXPECT_EQ(one(".param s='x\n"), "pa.cir line 1: a quotation is not closed");
    EXPECT_EQ(one("L1 a 0\n"), "pa.cir line 1: L1 has no value");
    EXPECT_EQ(one("L1 a 0 1n\n"), "<0 problems>");
}

// ngspice reads ".spiceinit" from the folder it starts in: one there holding a
// shell command changes nothing, and the host's current folder stays where it was.
TEST(NetlistSafety, StartUpFilesInTheCurrentFolderRunNothing) {
    Folder f;
    const std::string marker = f.path + "/marker";
    f.Write(".spiceinit", "* start-up\nshell touch " + marker + "\necho start-up file ran\n");
    f.Write("spinit", "* start-up\nshell touch " + marker + "\n");
    char before[4096];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    ASSERT_EQ(::chdir(f.path.c_str()), 0);
    ::setenv("SPICE_SCRIPTS", f.path.c_str(), 1);
    std::string netlist;
    const std::string loaded = Load(f, Project(""), &netlist);
    char after[4096];
    ASSERT_NE(::getcwd(after, sizeof after), nullptr);
    EXPECT_EQ(std::string(after), f.path);
    EXPECT_STREQ(std::getenv("SPICE_SCRIPTS"), f.path.c_str());
    ASSERT_EQ(::chdir(before), 0);
    EXPECT_EQ(loaded, "<loaded>");
    EXPECT_FALSE(Exists(marker));
}

// ngspice repairs or ignores some faults and says so only as a warning: the host
// refuses those netlists with the warning and the line; a clean one loads silently.
TEST(NetlistSafety, ANetlistNgspiceWarnsAboutIsRefusedWithTheWarningAndTheLine) {
    Folder f;
    const std::string at = "p.json: schematics[0].elements[0].circuit.netlist";
    std::string e = Load(f, Project(", \"Rg out g\", \"Rl g 0 50\""));
    EXPECT_NE(e.find(at + ": ngspice warns about the netlist: Warning: rg: resistance to low"), std::string::npos) << e;
    EXPECT_NE(e.find("(netlist line 3: Rg out g)"), std::string::npos) << e;
    e = Load(f, Project(", \"D1 out 0 dmod\", \".model dmod d(is=1e-14 bogus=2)\""));
    EXPECT_NE(e.find("unrecognized parameter (bogus) - ignored"), std::string::npos) << e;
    EXPECT_NE(e.find("(netlist line 4: .model dmod d(is=1e-14 bogus=2))"), std::string::npos) << e;
    e = Load(f, Project(", \"Vx x 0\", \"Rx x 0 1k\""));
    EXPECT_NE(e.find("vx: has no value, DC 0 assumed (netlist line 3: Vx x 0)"), std::string::npos) << e;
    e = Load(f, Project(", \"Rt out 0 1k tc1\""));
    EXPECT_NE(e.find("can't find model 'tc1' from line rt out 0 1k tc1 (netlist line 3: Rt out 0 1k tc1)"), std::string::npos) << e;
    EXPECT_NE(Load(f, Project(", \"Cx out 0\"")).find(at + " line 3: Cx has no value"), std::string::npos);
    // A missing parenthesis is repaired without a word from ngspice.
    std::string text = Project("");
    text.replace(text.find("{f0})"), 5, "{f0}");
    e = Load(f, text);
    EXPECT_NE(e.find(at + " line 1: the parentheses do not pair up (1 \"(\", 0 \")\")"), std::string::npos) << e;
    EXPECT_NE(Load(f, Project(", \"Rl out 0 {50\"")).find("the braces do not pair up"), std::string::npos);

    // A clean netlist loads and analyses, and ngspice's log holds no warning.
    const std::string log = f.path + "/ngspice.log";
    circuit::SetLogFile(log);
    ASSERT_EQ(Load(f, Project(", \"Rl out 0 1k\", \"* comment ; with (unpaired\"")), "<loaded>");
    circuit::SetLogFile("");
    std::ifstream in(log);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str().find("arning"), std::string::npos) << s.str();
}

}  // namespace
