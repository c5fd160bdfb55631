// Contour grids and the Smith-chart SVG drawn from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "vexasim/app/contours.h"
#include "vexasim/app/svg.h"

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
    p.dataFiles.push_back({0, "pout_lp", "QuindleIsAHack0.txt", -1, 3, GridText(Paraboloid)});
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

}  // namespace
