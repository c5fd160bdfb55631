// Contour grids and the Smith-chart SVG drawn from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "host/angles.h"
#include <nlohmann/json.hpp>

#include "vexasim/report/contours.h"
#include "vexasim/report/html.h"
#include "vexasim/report/run_results.h"
#include "vexasim/report/svg.h"

namespace {

// A paraboloid with its top (value 9.8) at 0.4+0.2j, as the wizard would write it.
std::string GridText(double (*f)(double, double)) {
    std::string text;
    char buf[32];
    for (int r = 0; r < 41; ++r) {
        for (int q = 0; q < 41; ++q) {
            std::snprintf(buf, sizeof buf, "%.6f ", f(-1.0 + 0.05 * q, -1.0 + 0.05 * r));
            text += buf;
        }
        text += "\n";
    }
    return text;
}

double Paraboloid(double x, double y) { return 9.8 - 8.0 * ((x - 0.4) * (x - 0.4) + (y - 0.2) * (y - 0.2)); }

// Well-formedness: every element closed in order, attributes quoted.
bool BalancedXml(const std::string& s) {
    std::vector<std::string> open;
    size_t i = 0;
    while ((i = s.find('<', i)) != std::string::npos) {
        size_t end = s.find('>', i);
        if (end == std::string::npos) return false;
        std::string tag = s.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
        if (tag.find('<') != std::string::npos) return false;
        size_t quotes = 0;
        for (char c : tag) quotes += c == '"';
        if (quotes % 2) return false;
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1)) return false;
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(tag.substr(0, tag.find_first_of(" \n")));
        }
    }
    return open.empty();
}

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1)) ++n;
    return n;
}

TEST(ContourGrid, ParsesFindsTheMaximumAndTracesLevels) {
    vexasim::ContourGrid grid;
    std::string error;
    ASSERT_TRUE(vexasim::ParseContourGrid(GridText(Paraboloid), grid, error)) << error;
    vexasim::GridMax m = vexasim::MaximumInsideUnitCircle(grid);
    ASSERT_TRUE(m.found);
    EXPECT_NEAR(m.re, 0.4, 1e-9);
    EXPECT_NEAR(m.im, 0.2, 1e-9);
    EXPECT_NEAR(m.value, 9.8, 1e-6);
    // The level 8.8 is a circle of radius sqrt(1/8) around the top: every segment end lies on it.
    std::vector<vexasim::Segment> segments = vexasim::ContourSegments(grid, 8.8);
    ASSERT_GT(segments.size(), 20u);
    for (const auto& s : segments) {
        EXPECT_NEAR(std::hypot(s.x1 - 0.4, s.y1 - 0.2), std::sqrt(1.0 / 8), 0.01);
        EXPECT_NEAR(std::hypot(s.x2 - 0.4, s.y2 - 0.2), std::sqrt(1.0 / 8), 0.01);
    }
    EXPECT_TRUE(vexasim::ContourSegments(grid, 11.0).empty());
    // A maximum shared by mirror points lies between them.
    vexasim::ContourGrid twin;
    twin.values.assign(41 * 41, 0.0);
    twin.values[20 * 41 + 10] = 3.0;  // -0.5 + 0j
    twin.values[22 * 41 + 12] = 3.0;  // -0.4 + 0.1j
    vexasim::GridMax both = vexasim::MaximumInsideUnitCircle(twin);
    EXPECT_NEAR(both.re, -0.45, 1e-12);
    EXPECT_NEAR(both.im, 0.05, 1e-12);

    std::string text = GridText(Paraboloid);
    EXPECT_FALSE(vexasim::ParseContourGrid(text.substr(0, text.size() / 2), grid, error));
    std::string bad = text;
    bad.replace(bad.find(' '), 0, "x");
    EXPECT_FALSE(vexasim::ParseContourGrid(bad, grid, error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
}

TEST(ContourGrid, NamesGiveTheirLevels) {
    double top, bottom, step;
    ASSERT_TRUE(vexasim::ParseContourName("LPCS[13,0,0.75]", top, bottom, step));
    EXPECT_EQ(vexasim::ContourLevels(top, bottom, step).size(), 18u);  // 0, 0.75, ... 12.75
    ASSERT_TRUE(vexasim::ParseContourName("LPCS[5,-3,0.5]", top, bottom, step));
    EXPECT_EQ(vexasim::ContourLevels(top, bottom, step), (std::vector<double>{-3, -2.5, -2, -1.5, -1, -0.5, 0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5}));
    EXPECT_FALSE(vexasim::ParseContourName("LPCS[1,2]", top, bottom, step));
    EXPECT_FALSE(vexasim::ParseContourName("Pout", top, bottom, step));
}

TEST(SmithChart, DrawsPointsContoursLegendAndMaximum) {
    vexasim::ProjectData p;
    vexasim::DataFileData file;
    file.name = "pout_lp";
    file.fileName = "QuindleIsAHack0.txt";
    file.text = GridText(Paraboloid);
    p.dataFiles.push_back(file);
    vexasim::GraphData g;
    g.name = "Load Pull Data Contour Graph <1>";
    vexasim::MeasurementData contour;
    contour.source = "pout_lp";
    contour.name = "LPCS[11,2,0.5]";
    g.measurements.push_back(contour);
    vexasim::MeasurementData points;
    points.source = "meas";
    points.name = "LPGPM";
    points.resultType = 2;
    points.points = {{0.1, 0.1}, {-0.2, 0.3}, {0.5, -0.5}};
    g.measurements.push_back(points);
    vexasim::MeasurementData missing;
    missing.source = "nowhere";
    missing.name = "LPCS[1,0,0.25]";
    g.measurements.push_back(missing);

    vexasim::RenderStats stats;
    std::string svg = vexasim::RenderSmithChart(p, g, &stats);
    EXPECT_TRUE(BalancedXml(svg));
    EXPECT_NE(svg.find("&lt;1&gt;"), std::string::npos);  // names are escaped
    EXPECT_EQ(stats.contourMeasurements, 2);
    ASSERT_EQ(stats.levelsDrawn.size(), 2u);
    // Levels 2 .. 9.5 cross the grid (the top is 9.8), 10 .. 11 do not.
    EXPECT_EQ(stats.levelsDrawn[0], 16);
    EXPECT_EQ(Count(svg, "class=\"level\""), 16u);
    EXPECT_EQ(stats.levelsDrawn[1], 0);
    ASSERT_EQ(stats.problems.size(), 1u);
    EXPECT_EQ(Count(svg, "class=\"maximum\""), 1u);
    EXPECT_EQ(Count(svg, "r=\"2.5\""), 3u);
}

double Saddle(double x, double y) { return 4.0 + 6.0 * x * y - 3.0 * x + 2.0 * y * y; }

// Two dense measurements (levels every 0.25), drawn once over the whole circle and
// once with the results of a run whose points cover a disc that misses the top of
// the paraboloid; a third data file, of an earlier run, is drawn in full.
TEST(SmithChart, ShowsTheSweptPointsLabelsApartAndMaximaInsideTheRegion) {
    vexasim::ProjectData p;
    for (auto [name, f] : {std::pair<const char*, double (*)(double, double)>{"pout_lp", Paraboloid}, {"pae_lp", Saddle},
                                                                                                 {"old_lp", Paraboloid}}) {
        vexasim::DataFileData file;
        file.name = name;
        file.fileName = std::string(name) + ".txt";
        file.text = GridText(f);
        p.dataFiles.push_back(file);
    }
    vexasim::GraphData g;
    g.name = "Load Pull Data Contour Graph";
    for (const char* m : {"pout_lp|LPCS[9.75,-20,0.25]", "pae_lp|LPCS[16,-8,0.25]", "pout_lp|LPCS[9,-20,1]", "old_lp|LPCS[9,-20,1]"}) {
        vexasim::MeasurementData contour;
        contour.source = std::string(m).substr(0, std::string(m).find('|'));
        contour.name = std::string(m).substr(std::string(m).find('|') + 1);
        g.measurements.push_back(contour);
    }
    vexasim::RunResults run;
    for (int ring = 0; ring <= 4; ++ring)
        for (int j = 0; j < std::max(1, 6 * ring); ++j)
            run.swept.push_back({-0.3 + 0.1 * ring * std::cos(j * kPi / (3 * ring + 1e-9)),
                                 -0.2 + 0.1 * ring * std::sin(j * kPi / (3 * ring + 1e-9))});
    run.region = vexasim::Region::Hull(run.swept);
    vexasim::ContourResult loo;
    loo.measurement = "PA:Pout";
    loo.dataFile = "pout_lp";
    loo.unit = "dB";
    loo.loo.count = 61;
    loo.loo.rms = 0.08;
    loo.loo.largest = -0.31;
    run.contours.push_back(loo);
    loo.dataFile = "pae_lp";
    loo.measurement = "PA:PAE";
    loo.loo.count = 0;  // no fit
    run.contours.push_back(loo);
    run.earlierLevels.insert({"pout_lp", "LPCS[9.75,-20,0.25]"});

    const vexasim::RunResults* const cases[] = {nullptr, &run};
    for (const vexasim::RunResults* results : cases) {
        vexasim::RenderStats stats;
        const std::string svg = vexasim::RenderSmithChart(p, g, &stats, results);
        EXPECT_TRUE(BalancedXml(svg));
        EXPECT_EQ(Count(svg, "class=\"swept-point\""), results ? 61u : 0u);
        EXPECT_EQ(stats.sweptPoints, results ? 61 : 0);
        // Labels: plenty of them, none on another, none reaching the rim.
        EXPECT_GT(stats.labels.size(), results ? 8u : 20u);
        for (size_t a = 0; a < stats.labels.size(); ++a) {
            const vexasim::Box& b = stats.labels[a];
            for (double x : {b.x0, b.x1})
                for (double y : {b.y0, b.y1}) EXPECT_LT(std::hypot(x - 320, y - 365), 280.0 - 3.9) << a;
            for (size_t c = a + 1; c < stats.labels.size(); ++c) EXPECT_FALSE(vexasim::Overlap(b, stats.labels[c])) << a << " " << c;
        }
        // One maximum per data file; those of the run inside its region, both on its
        // edge (the top of the paraboloid is outside, the saddle has none).
        EXPECT_EQ(Count(svg, "class=\"maximum\""), 3u);
        int inside = 0;
        const std::string marker = "class=\"maximum\"";
        for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
            const double cx = std::atof(svg.c_str() + svg.find("cx=\"", at) + 4);
            const double cy = std::atof(svg.c_str() + svg.find("cy=\"", at) + 4);
            const double re = (cx - 320) / 280, im = (365 - cy) / 280;
            inside += run.region.Contains(re, im, 1e-4);
        }
        EXPECT_EQ(inside, results ? 2 : 0);
        EXPECT_EQ(Count(svg, "(edge)"), results ? 2u : 0u);
        // Outside the region the lines are drawn faint; each level path is written once.
        EXPECT_EQ(Count(svg, "<use class=\"outside\""), results ? 3u : 0u);
        int levels = 0;
        for (int n : stats.levelsDrawn) levels += n;
        EXPECT_EQ(Count(svg, "class=\"level\""), static_cast<size_t>(levels));
        EXPECT_EQ(Count(svg, "leave-one-out rms 0.08 dB, max 0.31 dB"), results ? 1u : 0u);
        EXPECT_EQ(Count(svg, "levels of an earlier run"), results ? 1u : 0u);
        EXPECT_EQ(Count(svg, "leave-one-out not available"), results ? 1u : 0u);
    }
}

// A run of this schematic contoured PA:Pout into pout_lp over a disc around
// -0.3-0.2j that misses the top of the paraboloid; the graph still holds an
// earlier run's levels of pout_lp and an earlier run's data file gain_lp.
struct RunFixture {
    vexasim::ProjectData p;
    vexasim::GraphData g;
    vexasim::RunResults run;
    vexasim::ChartOptions options;

    RunFixture() {
        p.units[13] = "dBm";
        for (const char* name : {"pout_lp", "gain_lp"}) {
            vexasim::DataFileData file;
            file.name = name;
            file.text = GridText(Paraboloid);
            p.dataFiles.push_back(file);
        }
        vexasim::GraphData power;
        power.type = 1;
        power.measurements.emplace_back();
        power.measurements.back().source = "PA";
        power.measurements.back().name = "Pout";
        power.measurements.back().unitType = 13;
        p.graphs.push_back(power);
        g.name = "Load Pull Data Contour Graph";
        for (const char* m : {"pout_lp|LPCS[9,-20,1]", "gain_lp|LPCS[9,-20,1]", "pout_lp|LPCS[9.5,-20,0.5]"}) {
            g.measurements.emplace_back();
            g.measurements.back().source = std::string(m).substr(0, std::string(m).find('|'));
            g.measurements.back().name = std::string(m).substr(std::string(m).find('|') + 1);
        }
        for (int ring = 0; ring <= 4; ++ring)
            for (int j = 0; j < std::max(1, 6 * ring); ++j)
                run.swept.push_back({-0.3 + 0.1 * ring * std::cos(j * kPi / (3 * ring + 1e-9)),
                                     -0.2 + 0.1 * ring * std::sin(j * kPi / (3 * ring + 1e-9))});
        run.region = vexasim::Region::Hull(run.swept);
        vexasim::ContourResult c;
        c.measurement = "PA:Pout";
        c.dataFile = "pout_lp";
        c.unit = "dB";
        for (const auto& s : run.swept) {
            c.values.push_back(Paraboloid(s.re, s.im) + 0.01);
            c.errors.push_back(0.01);
        }
        run.contours.push_back(c);
        options.results = &run;
        options.settings.known = true;
        options.settings.harmonic = 2;
        options.settings.schematic = "PA";
        options.settings.tuner = "HBTUNER1";
        options.settings.pairs = {{"PA:Pout", "pout_lp"}};
    }
};

std::vector<std::string> Between(const std::string& s, const std::string& open, const std::string& close) {
    std::vector<std::string> out;
    for (size_t at = s.find(open); at != std::string::npos; at = s.find(open, at + 1)) {
        const size_t from = s.find('>', at) + 1;
        out.push_back(s.substr(from, s.find(close, from) - from));
    }
    return out;
}

// Contours measured at compression say so in the title, each level once.
TEST(SmithChart, TheTitleNamesTheCompressionLevels) {
    RunFixture f;
    EXPECT_EQ(Count(vexasim::RenderSmithChart(f.p, f.g, nullptr, f.options), "compression"), 0u);
    f.run.contours[0].measurement = "PA:Pout_1dB";
    f.run.contours.push_back(f.run.contours[0]);
    f.run.contours.back().measurement = "PA:PAE_3dB";
    f.run.contours.back().dataFile = "gain_lp";
    f.options.settings.pairs = {{"PA:Pout_1dB", "pout_lp"}, {"PA:PAE_3dB", "gain_lp"}};
    const std::string svg = vexasim::RenderSmithChart(f.p, f.g, nullptr, f.options);
    EXPECT_EQ(Count(svg, "harmonic 2, at 1 dB and 3 dB of gain compression</text>"), 1u) << svg.substr(0, 1500);
}

TEST(SmithChart, DrawsTheLatestRunsLevelsInsideItsRegionWithUnitsAndATitle) {
    RunFixture f;
    vexasim::Overlay line;
    line.name = "trade-off";
    line.colour = "#000";
    line.points = {{-0.5, 0}, {-0.3, -0.2}, {-0.1, -0.3}};
    f.options.overlays.push_back(line);
    vexasim::RenderStats stats;
    const std::string svg = vexasim::RenderSmithChart(f.p, f.g, &stats, f.options);
    EXPECT_TRUE(BalancedXml(svg));
    // Only this run's pout_lp levels (every 0.5), in one colour; nothing of gain_lp.
    EXPECT_EQ(Count(svg, "class=\"contour\""), 1u);
    EXPECT_EQ(Count(svg, "data-measurement=\"gain_lp\""), 0u);
    EXPECT_EQ(Count(svg, "earlier run"), 0u);
    // Every level drawn has a line inside the region, and every level well inside
    // the values the region covers is drawn.
    double low = 1e9, high = -1e9;
    for (double re = -1; re <= 1; re += 0.005)
        for (double im = -1; im <= 1; im += 0.005)
            if (f.run.region.Contains(re, im)) {
                low = std::min(low, Paraboloid(re, im));
                high = std::max(high, Paraboloid(re, im));
            }
    int inside = 0;
    const std::string attr = "data-level=\"";
    for (size_t at = svg.find(attr); at != std::string::npos; at = svg.find(attr, at + 1)) {
        const double level = std::atof(svg.c_str() + at + attr.size());
        EXPECT_GT(level, low - 0.05) << level;
        EXPECT_LT(level, high + 0.05) << level;
        ++inside;
    }
    EXPECT_EQ(inside, static_cast<int>(std::floor(2 * (high - 0.05)) - std::ceil(2 * (low + 0.05)) + 1));
    ASSERT_EQ(stats.levelsDrawn.size(), 1u);
    EXPECT_EQ(stats.levelsDrawn[0], inside);
    // Units: legend, level labels and the maximum.
    EXPECT_EQ(Count(svg, ">PA:Pout (dBm)</text>"), 1u);
    const std::vector<std::string> labels = Between(svg, "class=\"level-label\"", "</text>");
    ASSERT_GT(labels.size(), 3u);
    for (const std::string& l : labels) EXPECT_EQ(l.substr(l.size() - 4), " dBm") << l;
    // Each label lies on its own level's line and runs along it: turned upright
    // (about its centre) where the line is steep.
    int upright = 0;
    for (size_t at = svg.find("class=\"level-label\""); at != std::string::npos;
         at = svg.find("class=\"level-label\"", at + 1)) {
        const std::string tag = svg.substr(at, svg.find('>', at) - at);
        const std::string text = svg.substr(svg.find('>', at) + 1, svg.find("</text>", at) - svg.find('>', at) - 1);
        const double x = std::atof(tag.c_str() + tag.find("x=\"") + 3);
        const double baseline = std::atof(tag.c_str() + tag.find(" y=\"") + 4);
        const double cy = baseline - vexasim::LabelHeight(9) / 2 + vexasim::Descent(9);
        const size_t turn = tag.find("transform=\"rotate(-90 ");
        if (turn != std::string::npos) {
            ++upright;
            double px = 0, py = 0;
            ASSERT_EQ(std::sscanf(tag.c_str() + turn, "transform=\"rotate(-90 %lf %lf)", &px, &py), 2) << tag;
            EXPECT_NEAR(px, x, 0.01);
            EXPECT_NEAR(py, cy, 0.01);
        }
        // The nearest piece of its level's line.
        const std::string path = "data-level=\"" + text.substr(0, text.size() - 4) + "\" d=\"";
        ASSERT_NE(svg.find(path), std::string::npos) << text;
        std::istringstream d(svg.substr(svg.find(path) + path.size(), svg.find('"', svg.find(path) + path.size()) -
                                                                          svg.find(path) - path.size()));
        double best = 1e9, x1, y1, x2, y2;
        bool steep = false;
        char m, l;
        while (d >> m >> x1 >> y1 >> l >> x2 >> y2) {
            const double dist = std::hypot((x1 + x2) / 2 - x, (y1 + y2) / 2 - cy);
            if (dist < best) {
                best = dist;
                steep = std::fabs(y2 - y1) > std::fabs(x2 - x1);
            }
        }
        EXPECT_LT(best, 1.0) << text;
        EXPECT_EQ(turn != std::string::npos, steep) << text;
    }
    EXPECT_GT(upright, 0);
    const std::vector<std::string> max = Between(svg, "class=\"max-label\"", "</text>");
    ASSERT_EQ(max.size(), 1u);
    EXPECT_EQ(max[0].substr(0, 4), "max ");
    EXPECT_NE(max[0].find(" dBm (edge)"), std::string::npos) << max[0];
    // The maximum's label is beside its dot.
    const std::string dot = "class=\"maximum\" data-m=\"0\"><circle cx=\"";
    ASSERT_NE(svg.find(dot), std::string::npos);
    const double dx = std::atof(svg.c_str() + svg.find(dot) + dot.size());
    const double dy = std::atof(svg.c_str() + svg.find("cy=\"", svg.find(dot)) + 4);
    ASSERT_EQ(stats.labels.size(), labels.size() + 1);
    const vexasim::Box& b = stats.labels.front();
    EXPECT_LT(std::hypot(std::max({0.0, b.x0 - dx, dx - b.x1}), std::max({0.0, b.y0 - dy, dy - b.y1})), 12.0);
    // The title, the grid's labels and the overlay.
    EXPECT_EQ(Count(svg, ">schematic PA, tuner HBTUNER1, harmonic 2</text>"), 1u);
    for (const char* grid : {">0.2<", ">5<", ">j0.5<", ">-j0.5<", ">j1<", ">-j5<"}) EXPECT_EQ(Count(svg, grid), 1u) << grid;
    // A resistance circle's label sits just right of where the circle meets the real axis.
    for (double r : {0.2, 0.5, 1.0, 2.0, 5.0}) {
        char text[32];
        std::snprintf(text, sizeof text, ">%g</text>", r);
        const size_t at = svg.rfind("<text class=\"grid-label\" x=\"", svg.find(text));
        ASSERT_NE(at, std::string::npos) << text;
        const double x = std::atof(svg.c_str() + svg.find("x=\"", at) + 3);
        EXPECT_GT(x, 320 + 280 * (r - 1) / (r + 1)) << text;
        EXPECT_LT(x, 320 + 280 * (r - 1) / (r + 1) + 4) << text;
    }
    EXPECT_EQ(Count(svg, "<g class=\"overlay\""), 1u);
    EXPECT_EQ(Count(svg, "points=\"180.00,365.00 236.00,421.00 292.00,449.00\""), 1u);
    EXPECT_EQ(Count(svg, ">trade-off</text>"), 1u);
    // The overlay's swatch stands on its legend line, and the legend says what the faint lines are.
    const size_t name = svg.find(">trade-off</text>");
    const size_t nameTag = svg.rfind("<text", name);
    const double nameY = std::atof(svg.c_str() + svg.find(" y=\"", nameTag) + 4);
    const size_t swatch = svg.rfind("<rect", svg.find("fill=\"#000\"/>"));
    const double swatchY = std::atof(svg.c_str() + svg.find(" y=\"", swatch) + 4);
    EXPECT_GT(swatchY, nameY - 12);
    EXPECT_LT(swatchY, nameY);
    EXPECT_EQ(Count(svg, ">faint dashed lines: outside it, extrapolated</text>"), 1u);

    // On request the earlier levels and the earlier data file too, marked.
    f.options.earlierContours = true;
    const std::string all = vexasim::RenderSmithChart(f.p, f.g, nullptr, f.options);
    EXPECT_EQ(Count(all, "class=\"contour\""), 3u);
    EXPECT_EQ(Count(all, ">PA:Pout (dBm), earlier run</text>"), 1u);
    EXPECT_EQ(Count(all, "levels of an earlier run, on this run's data"), 1u);
    EXPECT_EQ(Count(all, "gain_lp LPCS[9,-20,1]"), 1u);
    EXPECT_EQ(Count(all, "stroke-dasharray=\"7 3\""), 2u);

    EXPECT_EQ(vexasim::WithUnit(38, "dBm"), "38 dBm");
    EXPECT_EQ(vexasim::WithUnit(52.5, "%"), "52.5%");
    EXPECT_EQ(vexasim::WithUnit(-1.25, ""), "-1.25");
}

TEST(InteractiveChart, IsOnePageWithTheChartAndItsDataInside) {
    RunFixture f;
    f.g.name = "Graph <&>";
    const std::string html = vexasim::RenderInteractiveChart(f.p, f.g, f.options);
    EXPECT_EQ(html.compare(0, 15, "<!DOCTYPE html>"), 0);
    EXPECT_EQ(Count(html, "<?xml"), 0u);
    EXPECT_EQ(Count(html, "<svg "), 1u);
    EXPECT_EQ(Count(html, "<script"), 2u);
    EXPECT_EQ(Count(html, " src="), 0u);
    EXPECT_EQ(Count(html, "<title>Graph &lt;&amp;&gt;</title>"), 2u);  // the page's and the chart's
    const std::string open = "<script type=\"application/json\" id=\"chart-data\">";
    const size_t at = html.find(open) + open.size();
    const std::string text = html.substr(at, html.find("</script>", at) - at);
    const nlohmann::json data = nlohmann::json::parse(text);
    EXPECT_EQ(data["cx"], 320);
    EXPECT_EQ(data["cy"], 365);
    EXPECT_EQ(data["r"], 280);
    ASSERT_EQ(data["swept"].size(), f.run.swept.size());
    EXPECT_EQ(data["swept"][5][0].get<double>(), f.run.swept[5].re);
    ASSERT_EQ(data["measurements"].size(), 1u);  // only this run's
    const auto& m = data["measurements"][0];
    EXPECT_EQ(m["name"], "PA:Pout");
    EXPECT_EQ(m["unit"], "dBm");
    vexasim::ContourGrid grid;
    std::string error;
    ASSERT_TRUE(vexasim::ParseContourGrid(GridText(Paraboloid), grid, error));
    ASSERT_EQ(m["grid"].size(), 41u * 41u);
    for (size_t i = 0; i < grid.values.size(); ++i) ASSERT_EQ(m["grid"][i].get<double>(), grid.values[i]) << i;
    ASSERT_EQ(m["values"].size(), f.run.swept.size());
    EXPECT_EQ(m["values"][3].get<double>(), f.run.contours[0].values[3]);
    EXPECT_EQ(m["errors"][3].get<double>(), 0.01);
    ASSERT_EQ(data["maxima"].size(), 1u);
    EXPECT_TRUE(f.run.region.Contains(data["maxima"][0]["re"], data["maxima"][0]["im"], 1e-9));
    EXPECT_EQ(vexasim::HtmlFileName("Load Pull Data Contour Graph"), "Load_Pull_Data_Contour_Graph.html");
}

}  // namespace

TEST(SmithChart, ACloseViewDrawsTheSameChartLargerAboutItsCentre) {
    using G = vexasim::ChartGeometry;
    RunFixture f;
    vexasim::Overlay line;
    line.name = "path";
    line.colour = "#000";
    line.numbered = true;
    line.points = {{-0.3, -0.2}, {-0.2, -0.1}};
    f.options.overlays.push_back(line);
    f.options.viewCentre = {-0.3, -0.2};
    f.options.viewHalfWidth = 0.25;
    const vexasim::ChartView v = vexasim::ViewOf(f.options);
    EXPECT_TRUE(v.Zoomed());
    EXPECT_DOUBLE_EQ(v.r, G::kRadius * 4);
    // The view's centre lies at the chart's centre; gamma 0 where the scale puts it.
    EXPECT_DOUBLE_EQ(v.cx + v.r * -0.3, G::kCx);
    EXPECT_DOUBLE_EQ(v.cy - v.r * -0.2, G::kCy);
    const std::string svg = vexasim::RenderSmithChart(f.p, f.g, nullptr, f.options);
    EXPECT_TRUE(BalancedXml(svg));
    EXPECT_NE(svg.find("close view: gamma 0.36 at -146 deg, 0.25 either side"), std::string::npos);
    EXPECT_NE(svg.find("clip-path=\"url(#plot)\""), std::string::npos);
    // The path's second point, 0.1 right of and above the centre, 112 units off.
    EXPECT_NE(svg.find("<text class=\"overlay-label\" x=\"437.00\" y=\"248.00\""), std::string::npos)
        << svg.substr(svg.find("overlay"), 600);
    // The whole chart (and a view as wide or wider) is drawn as before.
    for (double h : {1.0, 0.0, 2.0}) {
        f.options.viewHalfWidth = h;
        EXPECT_FALSE(vexasim::ViewOf(f.options).Zoomed()) << h;
    }
    EXPECT_EQ(vexasim::RenderSmithChart(f.p, f.g, nullptr, f.options).find("close view"), std::string::npos);
}
