// The circuit element of project files and the engine's failures as the host
// reports them: every key checked with its place, the netlist's own problems,
// ngspice's refusal with the netlist's line, and analyses that fail naming the
// tuner setting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/call.h"
#include "vexasim/project_file/project_file.h"
#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/host.h"

namespace {

const char* const kProject = R"json({
  "name": "lin",
  "schematics": [
    {"name": "SRC", "elements": [
      {"name": "X1", "parameters": {"Vdd": 0, "Vs": 10},
       "circuit": {"netlist": ["Vs s 0 sin(0 {vs} {f0})", "Rs s a 25", "Ls a out 170n"],
                   "output": "out", "frequency": 14e6, "drive": "Vs"}},
      {"name": "LTUNER1", "parameters": {"Mag": 0.5, "Ang": 90}}
    ]}
  ],
  "graphs": [{"name": "P", "type": 1, "measurements": [{"source": "SRC", "name": "Pout"}, {"source": "SRC", "name": "PAE"}]}]
})json";

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

std::string Errors(const std::string& text) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    if (vexasim::ParseProject(text, "lin.json", ".", p, errors)) return "<loaded>";
    std::string all;
    for (const auto& e : errors) all += e + "\n";
    return all;
}

TEST(CircuitElement, LoadsAndRoundTripsThroughTheProjectFile) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::ParseProject(kProject, "lin.json", ".", p, errors)) << errors.front();
    const vexasim::ElementData& e = p.data.schematics[0].elements[0];
    ASSERT_TRUE(e.hasCircuit);
    EXPECT_EQ(e.circuit.output, "out");
    EXPECT_EQ(e.circuit.drive, "Vs");
    EXPECT_DOUBLE_EQ(e.circuit.frequency, 14e6);
    EXPECT_EQ(e.circuit.netlist, "Vs s 0 sin(0 {vs} {f0})\nRs s a 25\nLs a out 170n\n");
    EXPECT_FALSE(p.data.schematics[0].elements[1].hasCircuit);
    EXPECT_EQ(p.data.graphs[0].measurements[0].unitType, 13);

    vexasim::ProjectFile again;
    ASSERT_TRUE(vexasim::ParseProject(vexasim::SerializeProject(p), "lin.json", ".", again, errors));
    const vexasim::CircuitData& c = again.data.schematics[0].elements[0].circuit;
    EXPECT_EQ(c.netlist, e.circuit.netlist);
    EXPECT_EQ(c.output, "out");
    EXPECT_EQ(c.maxPeriods, e.circuit.maxPeriods);
    EXPECT_DOUBLE_EQ(c.timeLimit, e.circuit.timeLimit);
    EXPECT_TRUE(c.supply.empty());

    // A netlist that feeds itself names its supply sources (one, or an array), and
    // needs no Vdd.
    const std::string own = Replace(Replace(Replace(kProject, "\"Vdd\": 0, ", ""), "\"Rs s a 25\"",
                                            "\"Rs s a 25\", \"V1 sup 0 5\", \"V2 sup2 0 3\", \"R1 sup out 1k\", \"R2 sup2 out 1k\""),
                                    "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"supply\": [\"V1\", \"v2\"]");
    ASSERT_TRUE(vexasim::ParseProject(own, "lin.json", ".", p, errors)) << errors.front();
    EXPECT_EQ(p.data.schematics[0].elements[0].circuit.supply, (std::vector<std::string>{"V1", "v2"}));
    ASSERT_TRUE(vexasim::ParseProject(vexasim::SerializeProject(p), "lin.json", ".", again, errors));
    EXPECT_EQ(again.data.schematics[0].elements[0].circuit.supply, (std::vector<std::string>{"V1", "v2"}));
    ASSERT_TRUE(vexasim::ParseProject(Replace(own, "[\"V1\", \"v2\"]", "\"V1\""), "lin.json", ".", p, errors));
    EXPECT_EQ(p.data.schematics[0].elements[0].circuit.supply, (std::vector<std::string>{"V1"}));
}

TEST(CircuitElement, EveryProblemIsReportedWithItsPlace) {
    const std::string at = "lin.json: schematics[0].elements[0]";
    EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"speed\": 1"))
                  .find(at + ".circuit.speed: unknown key"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"output\": \"out\", ", "")).find(at + ".circuit.output: missing"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"output\": \"out\"", "\"output\": \"drain\""))
                  .find(at + ".circuit.output: no element of the netlist connects to node \"drain\""),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Rs\""))
                  .find(at + ".circuit.drive: \"Rs\" is not a voltage source"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vgen\""))
                  .find(at + ".circuit.drive: the netlist has no source named \"Vgen\""),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"frequency\": 14e6", "\"frequency\": -1"))
                  .find(at + ".circuit.frequency: expected a number above 0"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"Vdd\": 0, ", "")).find(at + ".parameters.Vdd: missing"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"supply\": \"Vcc\""))
                  .find(at + ".circuit.supply: the netlist has no source named \"Vcc\""),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"supply\": [\"Rs\"]"))
                  .find(at + ".circuit.supply: \"Rs\" is not a voltage source"),
              std::string::npos);
    for (const char* bad : {"[]", "[\"Vs\", 3]", "\"V s\"", "{}"})
        EXPECT_NE(Errors(Replace(kProject, "\"drive\": \"Vs\"", std::string("\"drive\": \"Vs\", \"supply\": ") + bad))
                      .find(at + ".circuit.supply: expected a source name or an array of source names"),
                  std::string::npos)
            << bad;
    EXPECT_NE(Errors(Replace(kProject, "\"Ls a out 170n\"", "\"Ls a out 170n\", \".tran 1n 1u\""))
                  .find(at + ".circuit.netlist line 4: .tran is written by the engine"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"output\"", "\"netlistFile\": \"pa.cir\", \"output\""))
                  .find(at + ".circuit: give the netlist either inline"),
              std::string::npos);
    EXPECT_NE(Errors(Replace(kProject, "\"netlist\": [", "\"netlistFile\": \"../pa.cir\", \"x\": ["))
                  .find(at + ".circuit.netlistFile: must be a relative path"),
              std::string::npos);
}

// ngspice's refusal stops the load with its own message and the netlist's line.
TEST(CircuitElement, ANetlistNgspiceRefusesStopsTheLoadWithItsLine) {
    char dir[] = "/tmp/vexasim-circuit-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/bad.json";
    std::ofstream(path) << Replace(kProject, "\"Rs s a 25\"", "\"Q1 a s 0 nosuch\"");
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    EXPECT_FALSE(vexasim::LoadProjectFile(path, p, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("bad.json: schematics[0].elements[0].circuit.netlist: ngspice does not accept the netlist"),
              std::string::npos)
        << errors[0];
    EXPECT_NE(errors[0].find("could not find a valid modelname"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("(netlist line 2: Q1 a s 0 nosuch)"), std::string::npos) << errors[0];
    std::remove(path.c_str());
    ::rmdir(dir);
}

vexasim::ProjectData Loaded(const std::string& text) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    EXPECT_TRUE(vexasim::ParseProject(text, "lin.json", ".", p, errors));
    return p.data;
}

// No steady state within the periods allowed (a cold start and a careful one, 4
// periods each), and the time limit, both fail the host's Analyze with a
// description that says which and at which tuner setting; a circuit that settles
// gives every measurement from one analysis.
TEST(CircuitElement, FailedAnalysesNameTheTunerSettingAndFailAnalyze) {
    vexasim::Host host;
    host.project() = Loaded(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"maxPeriods\": 4"));
    host.SetEvaluator(circuit::HostEvaluator());
    auto project = host::Get(host.Application(), &IVexaApplication::get_Project);
    auto simulator = host::Get(project, &IVexaProject::get_Simulator);
    EXPECT_EQ(simulator->Analyze(0, -1), E_FAIL);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    host::Bstr text;
    info->GetDescription(text.put());
    info->Release();
    const std::string description = host::ToAnsiLossy(text.get());
    EXPECT_NE(description.find("SRC: circuit X1: no steady state after 8 periods"), std::string::npos) << description;
    EXPECT_NE(description.find("at the tuner setting gamma 0.500 at 90.0 deg (Z = 30.00 + j40.00 ohm)"),
              std::string::npos)
        << description;

    const vexasim::Evaluator evaluate = circuit::HostEvaluator();
    vexasim::ProjectData slow = Loaded(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"timeLimit\": 1e-6"));
    try {
        evaluate(slow, slow.graphs[0].measurements[0]);
        ADD_FAILURE() << "an analysis over its time limit succeeded";
    } catch (const vexasim::AnalysisError& e) {
        EXPECT_NE(std::string(e.what()).find("took longer than its time limit of 1e-06 s"), std::string::npos)
            << e.what();
    }

    vexasim::ProjectData good = Loaded(kProject);
    const int before = circuit::Stats().analyses;
    const double pout = evaluate(good, good.graphs[0].measurements[0]);
    const double pae = evaluate(good, good.graphs[0].measurements[1]);
    EXPECT_EQ(circuit::Stats().analyses, before + 1);  // one analysis for both
    EXPECT_LT(pout, 10.0 * std::log10(0.5));           // below the available power
    EXPECT_GT(pout, 10.0 * std::log10(0.5) - 4.0);
    EXPECT_EQ(pae, 0.0);  // no supply: no efficiency
    EXPECT_GT(circuit::Stats().lastPeriods, 2);
}

}  // namespace

namespace {

// The input port, the tuners and the drive-up: loaded, written back, and every
// mistake named with its place; the new measurements take their unit types.
TEST(CircuitElement, InputPortAndDriveUpKeys) {
    const std::string port = Replace(
        Replace(Replace(kProject, "\"drive\": \"Vs\"",
                        "\"input\": \"s\", \"sourceTuner\": \"LTUNER2\", \"loadTuner\": \"LTUNER1\", "
                        "\"driveUp\": {\"start\": -5, \"step\": 0.5, \"cap\": 30, \"levels\": [3, 1], \"gain\": \"Gp\"}"),
                "\"Vs\": 10}", "\"Vs\": 10, \"Pavs\": 20}"),
        "{\"source\": \"SRC\", \"name\": \"PAE\"}",
        "{\"source\": \"SRC\", \"name\": \"Pout_1dB\"}, {\"source\": \"SRC\", \"name\": \"PAE_3dB\"}, "
        "{\"source\": \"SRC\", \"name\": \"Gt\"}, {\"source\": \"SRC\", \"name\": \"Pin\"}");
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::ParseProject(port, "lin.json", ".", p, errors)) << errors.front();
    for (int round = 0; round < 2; ++round) {
        const vexasim::CircuitData& c = p.data.schematics[0].elements[0].circuit;
        EXPECT_EQ(c.input, "s");
        EXPECT_EQ(c.drive, "");
        EXPECT_EQ(c.sourceTuner, "LTUNER2");
        EXPECT_EQ(c.loadTuner, "LTUNER1");
        ASSERT_TRUE(c.hasDriveUp);
        EXPECT_DOUBLE_EQ(c.driveUp.start, -5.0);
        EXPECT_DOUBLE_EQ(c.driveUp.step, 0.5);
        EXPECT_DOUBLE_EQ(c.driveUp.cap, 30.0);
        EXPECT_EQ(c.driveUp.levels, (std::vector<double>{3.0, 1.0}));
        EXPECT_TRUE(c.driveUp.powerGain);
        const auto& ms = p.data.graphs[0].measurements;
        ASSERT_EQ(ms.size(), 5u);
        EXPECT_EQ(ms[1].unitType, 13);  // Pout_1dB
        EXPECT_EQ(ms[2].unitType, 0);   // PAE_3dB
        EXPECT_EQ(ms[3].unitType, 0);   // Gt
        EXPECT_EQ(ms[4].unitType, 13);  // Pin
        vexasim::ProjectFile again;
        ASSERT_TRUE(vexasim::ParseProject(vexasim::SerializeProject(p), "lin.json", ".", again, errors));
        p = again;
    }
    // Pavs is the engine's: the netlist does not see it, the other parameters it does.
    const circuit::Params params = circuit::NetlistParams(p.data.schematics[0].elements[0]);
    for (const auto& q : params) EXPECT_NE(q.first, "Pavs");
    EXPECT_EQ(params.size(), 2u);

    const std::string at = "lin.json: schematics[0].elements[0]";
    auto expect = [&](const std::string& text, const std::string& message) {
        EXPECT_NE(Errors(text).find(at + message), std::string::npos) << Errors(text);
    };
    expect(Replace(port, "\"input\": \"s\"", "\"input\": \"s\", \"drive\": \"Vs\""),
           ".circuit: give either a drive source (drive) or an input node (input)");
    expect(Replace(port, "\"input\": \"s\"", "\"input\": \"nowhere\""),
           ".circuit.input: no element of the netlist connects to node \"nowhere\"");
    expect(Replace(port, "\"input\": \"s\"", "\"input\": \"out\""),
           ".circuit.input: the input port cannot be the output node");
    expect(Replace(port, ", \"Pavs\": 20", ""), ".parameters.Pavs: missing");
    expect(Replace(port, "\"LTUNER2\"", "\"SRC2\""), ".circuit.sourceTuner: expected the name of a tuner element");
    expect(Replace(port, "\"LTUNER2\"", "\"LTUNER1\""), ".circuit.sourceTuner: the source and the load need tuners");
    expect(Replace(port, "\"cap\": 30", "\"cap\": -6"), ".circuit.driveUp.cap: must lie above start");
    expect(Replace(port, "[3, 1]", "[]"), ".circuit.driveUp.levels: expected a compression level");
    expect(Replace(port, "[3, 1]", "[0]"), ".circuit.driveUp.levels: expected a compression level");
    expect(Replace(port, "\"step\": 0.5", "\"step\": 0"), ".circuit.driveUp.step: expected a number of dB");
    expect(Replace(port, "\"Gp\"", "\"G\""), ".circuit.driveUp.gain: expected \"Gt\"");
    expect(Replace(port, "\"gain\"", "\"gian\""), ".circuit.driveUp.gian: unknown key");
    expect(Replace(kProject, "\"drive\": \"Vs\"", "\"drive\": \"Vs\", \"driveUp\": {\"start\": 0, \"cap\": 9, \"levels\": 1}"),
           ".circuit.driveUp: a drive-up needs an input port");
    // A measurement at compression only where a circuit is.
    EXPECT_NE(Errors(Replace(port, "\"Pin\"", "\"Pin_1xB\"")).find("\"Pin_1xB\" is not a measurement"),
              std::string::npos);
}

}  // namespace
