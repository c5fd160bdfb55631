// A stand-in project for sweeps: schematic "Amp" with the tuner "LTUNER1" (Mag 0.1,
// Ang 0.3 rad) and a graph "Output" of real measurements whose values are
// functions of the gamma the tuner presents. Prepare() runs the wizard's set-up on
// a new LPSetup up to the point where Simulate starts the sweep; every test ends
// by destroying the LPSetup and checking that no host reference was kept.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/input_source.h"
#include "project/lpsetup.h"
#include "vexasim/host.h"

class SweepTest : public ::testing::Test {
public:
    using Gamma = std::complex<double>;
    using Function = std::function<double(Gamma)>;

protected:
    static constexpr double kStartMag = 0.1;
    static constexpr double kStartAng = 0.3;

    vexasim::Host sim;
    platform::RecordingInputSource input;
    platform::ScopedInputSource scopedInput{input};
    std::unique_ptr<LPSetup> setup;
    std::map<std::string, Function> functions;  // by measurement name

    void SetUp() override {
        vexasim::ProjectBuilder(sim)
            .Schematic("Amp")
            .Element("LTUNER1", {Parameter("Mag", kStartMag), Parameter("Ang", kStartAng)})
            .Graph("Output", 3)
            .Units(13, "dBm")
            .Units(14, "mW");
        sim.SetEvaluator([this](const vexasim::ProjectData& p, const vexasim::MeasurementData& m) {
            auto f = functions.find(m.name);
            return f == functions.end() ? 0.0 : f->second(TunerGamma(p));
        });
    }

    void TearDown() override {
        setup.reset();
        EXPECT_EQ(sim.ExternalReferences(), 0);
    }

    static vexasim::ParameterData Parameter(const char* name, double value) {
        vexasim::ParameterData p;
        p.name = name;
        p.value = value;
        return p;
    }

    static Gamma TunerGamma(const vexasim::ProjectData& p) {
        const auto& params = p.schematics.at(0).elements.at(0).parameters;
        return std::polar(params.at(0).value, params.at(1).value);
    }
    // The tuner's parameter k: 0 Mag, 1 Ang.
    double TunerValue(int k) { return sim.project().schematics.at(0).elements.at(0).parameters.at(k).value; }

    // A real measurement "Amp:<name>" on the graph "Output".
    void AddMeasurement(const std::string& name, Function f, long unitType = 0) {
        vexasim::MeasurementData m;
        m.source = "Amp";
        m.name = name;
        m.unitType = unitType;
        sim.project().graphs.at(0).measurements.push_back(m);
        functions[name] = std::move(f);
    }

    // A new run: the project set up, the measurements chosen with their data file
    // names, and a grid of the density built.
    LPSetup& Prepare(const std::vector<std::pair<std::string, std::string>>& chosen, long density = 1) {
        setup.reset();
        setup = std::make_unique<LPSetup>();
        setup->SetApplication(sim.Application());
        EXPECT_EQ(setup->FinishProjectSetup(), 0);
        for (const auto& c : chosen)
            EXPECT_EQ(setup->AddSelectedMeasurement(host::FromAnsi(c.first).get(), host::FromAnsi(c.second).get()), 0);
        EXPECT_EQ(setup->BuildGammaPoints(density), 0);
        EXPECT_TRUE(setup->setupChanged);
        EXPECT_TRUE(input.boxes.empty());
        return *setup;
    }

    vexasim::GraphData* FindGraph(const std::string& name) {
        for (auto& g : sim.project().graphs)
            if (g.name == name) return &g;
        return nullptr;
    }
    vexasim::DataFileData* FindDataFile(const std::string& name) {
        for (auto& d : sim.project().dataFiles)
            if (d.name == name) return &d;
        return nullptr;
    }
    // "source:name" of every measurement of a graph, in order.
    std::vector<std::string> MeasurementsOf(const std::string& graph) {
        std::vector<std::string> out;
        if (const auto* g = FindGraph(graph))
            for (const auto& m : g->measurements) out.push_back(m.DisplayName());
        return out;
    }

    // The values of a contour data file, row by row; fails the test unless the
    // text is 41 lines of 41 values, each followed by a space.
    std::vector<double> GridValues(const std::string& dataFile) {
        std::vector<double> values;
        const auto* d = FindDataFile(dataFile);
        if (!d) {
            ADD_FAILURE() << "no data file " << dataFile;
            return values;
        }
        std::istringstream lines(d->text);
        std::string line;
        int rows = 0;
        while (std::getline(lines, line)) {
            ++rows;
            EXPECT_EQ(line.back(), ' ') << "row " << rows;
            std::istringstream in(line);
            in.imbue(std::locale::classic());
            int n = 0;
            for (double v; in >> v; ++n) values.push_back(v);
            EXPECT_EQ(n, 41) << "row " << rows;
        }
        EXPECT_EQ(rows, 41);
        EXPECT_EQ(d->text.back(), '\n');
        return values;
    }

    // The wizard's host-error box: no owner, "Tessary", OK only, the host's description.
    void ExpectHostErrorBox(const std::string& description) {
        ASSERT_EQ(input.boxes.size(), 1u);
        EXPECT_EQ(input.boxes[0].owner, nullptr);
        EXPECT_EQ(input.boxes[0].caption, "Tessary");
        EXPECT_EQ(input.boxes[0].text, description);
        EXPECT_EQ(input.boxes[0].flags, static_cast<UINT>(MB_OK));
    }
};
