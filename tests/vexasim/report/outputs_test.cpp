// What vexasim writes: numbers that read back exactly, the samples table, display
// units, and file names for graphs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "vexasim/report/outputs.h"
#include "vexasim/report/run_results.h"
#include "vexasim/project_file/settings_stream.h"
#include "vexasim/report/svg.h"

namespace {

TEST(Outputs, NumbersReadBackAsTheSameDouble) {
    std::mt19937_64 random(5);
    std::uniform_int_distribution<uint64_t> bits;
    for (int i = 0; i < 20000; ++i) {
        uint64_t b = bits(random);
        double v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v)) continue;
        std::string text = vexasim::ExactNumber(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    }
    EXPECT_EQ(vexasim::ExactNumber(0.1), "0.1");
    EXPECT_EQ(vexasim::ExactNumber(0.95), "0.95");
}

TEST(Outputs, SamplesTableHasTheChosenColumnsInDisplayUnits) {
    vexasim::ProjectData p;
    p.units[13] = "dBm";
    p.units[14] = "W";
    EXPECT_EQ(vexasim::DisplayValue(p, 13, 10.0), 40.0);
    EXPECT_EQ(vexasim::DisplayValue(p, 14, 2.0), 2.0);
    p.units[14] = "mW";
    EXPECT_EQ(vexasim::DisplayValue(p, 14, 2.0), 2000.0);
    EXPECT_EQ(vexasim::DisplayValue(p, 0, 2.0), 2.0);

    vexasim::SampleTable t;
    t.columns = {"A:x", "A:y"};
    t.rows.push_back({0.5, 90.0, {1.25, -3.0}});
    std::string csv = vexasim::SamplesCsv(t, {"A:y", "A:missing"});
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "index,|gamma|,angle_deg,re,im,A:y,A:missing");
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, 11), "1,0.5,90,3.");  // re = 0.5 cos(90 deg), not exactly 0
    EXPECT_NE(csv.find(",0.5,-3,\n"), std::string::npos);
}

TEST(Outputs, SvgNamesAndSettingsPairs) {
    EXPECT_EQ(vexasim::SvgFileName("Load Pull Data Contour Graph"), "Load_Pull_Data_Contour_Graph.svg");
    EXPECT_EQ(vexasim::SvgFileName("../x"), "graph.._x.svg");
    // Version 2: name "N", harmonic, centre, radius, source, null schematic and tuner, one pair.
    std::vector<uint8_t> s = {2, 0, 0, 0, 4, 0, 0, 0, 'N', 0, 0, 0};
    s.insert(s.end(), 4 + 8 + 8 + 8 + 4, 0);
    s.insert(s.end(), {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});
    s.insert(s.end(), {6, 0, 0, 0, 'A', 0, ':', 0, 0, 0, 4, 0, 0, 0, 'f', 0, 0, 0});
    auto pairs = vexasim::ContourPairs(s);
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, "A:");
    EXPECT_EQ(pairs[0].second, "f");
    s.resize(s.size() - 3);  // cut inside the last string
    EXPECT_TRUE(vexasim::ContourPairs(s).empty());
}

TEST(Outputs, RunSettingsNameSchematicTunerAndHarmonic) {
    // Version 2: name "N", harmonic 3, centre, radius, source, schematic "PA", tuner "T", one pair.
    std::vector<uint8_t> s = {2, 0, 0, 0, 4, 0, 0, 0, 'N', 0, 0, 0, 3, 0, 0, 0};
    s.insert(s.end(), 8 + 8 + 8 + 4, 0);
    s.insert(s.end(), {6, 0, 0, 0, 'P', 0, 'A', 0, 0, 0, 4, 0, 0, 0, 'T', 0, 0, 0, 1, 0, 0, 0});
    s.insert(s.end(), {4, 0, 0, 0, 'A', 0, 0, 0, 4, 0, 0, 0, 'f', 0, 0, 0});
    vexasim::RunSettings r = vexasim::ReadRunSettings(s);
    EXPECT_TRUE(r.known);
    EXPECT_EQ(r.harmonic, 3);
    EXPECT_EQ(r.schematic, "PA");
    EXPECT_EQ(r.tuner, "T");
    ASSERT_EQ(r.pairs.size(), 1u);
    EXPECT_EQ(r.pairs[0].second, "f");
    EXPECT_EQ(vexasim::RunTitle(r), "schematic PA, tuner T, harmonic 3");
    s[12] = 1;
    EXPECT_EQ(vexasim::RunTitle(vexasim::ReadRunSettings(s)), "schematic PA, tuner T, harmonic 1 (fundamental)");
    s[12] = 7;  // never a harmonic of the wizard's
    EXPECT_EQ(vexasim::ReadRunSettings(s).harmonic, 0);
    s.resize(40);  // ends inside the schematic's name
    EXPECT_FALSE(vexasim::ReadRunSettings(s).known);
    EXPECT_EQ(vexasim::RunTitle(vexasim::ReadRunSettings(s)), "");
}

// What the summary says of a run whose optimum lies beyond its region: where the grid
// can still follow it, and at the rim, where it cannot; each measurement's error in
// its own unit.
TEST(Outputs, TheSummaryOfAMaximumOnTheRegionsEdgeSaysWhatCanBeDone) {
    vexasim::ProjectData p;
    p.units[13] = "dBm";
    vexasim::GraphData g;
    g.type = 1;
    for (auto [name, unit] : {std::pair<const char*, long>{"Pout", 13}, {"PAE", 0}}) {
        g.measurements.emplace_back();
        g.measurements.back().source = "PA";
        g.measurements.back().name = name;
        g.measurements.back().unitType = unit;
    }
    p.graphs.push_back(g);
    // Rising towards the right of the chart, without end.
    vexasim::DataFileData file;
    file.name = "pout_lp";
    char buf[32];
    for (int r = 0; r < 41; ++r) {
        for (int q = 0; q < 41; ++q) {
            std::snprintf(buf, sizeof buf, "%.6f ", 30.0 + 10.0 * (-1.0 + 0.05 * q));
            file.text += buf;
        }
        file.text += "\n";
    }
    p.dataFiles.push_back(file);

    for (double centre : {0.3, 0.85}) {
        SCOPED_TRACE(centre);
        vexasim::SampleTable samples;
        samples.columns = {"PA:Pout", "PA:PAE"};
        for (int ring = 0; ring <= 2; ++ring)
            for (int j = 0; j < std::max(1, 6 * ring); ++j) {
                const double re = centre + 0.05 * ring * std::cos(j * 3.14159265358979 / (3 * ring + 1e-9));
                const double im = 0.05 * ring * std::sin(j * 3.14159265358979 / (3 * ring + 1e-9));
                samples.rows.push_back({std::hypot(re, im), std::atan2(im, re) * 180 / 3.14159265358979,
                                        {30.0 + 10.0 * re, 50.0 + 10.0 * re}});
            }
        const vexasim::RunResults results =
            vexasim::AnalyseRun(p, samples, {{"PA:Pout", "pout_lp"}, {"PA:PAE", "pae_lp"}});
        ASSERT_EQ(results.contours.size(), 2u);
        EXPECT_EQ(results.contours[0].unit, "dB");
        EXPECT_EQ(results.contours[1].unit, "%");
        const std::string summary = vexasim::Summary(p, "PA:Pout", "pout_lp", samples, &results);
        EXPECT_NE(summary.find("on the edge of the simulated region"), std::string::npos) << summary;
        EXPECT_EQ(summary.find("the largest the grid reaches") != std::string::npos, centre > 0.5) << summary;
        EXPECT_EQ(summary.find("move the centre towards it") != std::string::npos, centre < 0.5) << summary;
    }
}

}  // namespace
