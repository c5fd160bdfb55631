#include "vexasim/report/contours.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vexasim {

bool ParseContourGrid(const std::string& text, ContourGrid& grid, std::string& error) {
    grid.values.clear();
    std::istringstream in(text);
    std::string line;
    int row = 0;
    while (std::getline(in, line)) {
        if (row == ContourGrid::kSize) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            error = "more than 41 lines";
            return false;
        }
        std::istringstream cells(line);
        std::string cell;
        int count = 0;
        while (cells >> cell) {
            char* end = nullptr;
            double v = std::strtod(cell.c_str(), &end);
            if (*end != '\0') {
                error = "line " + std::to_string(row + 1) + ": \"" + cell + "\" is not a number";
                return false;
            }
            grid.values.push_back(v);
            ++count;
        }
        if (count != ContourGrid::kSize) {
            error = "line " + std::to_string(row + 1) + ": expected 41 values, found " + std::to_string(count);
            return false;
        }
        ++row;
    }
    if (row != ContourGrid::kSize) {
        error = "expected 41 lines, found " + std::to_string(row);
        return false;
    }
    return true;
}

bool ParseContourName(const std::string& name, double& top, double& bottom, double& step) {
    if (name.compare(0, 5, "LPCS[") != 0 || name.back() != ']') return false;
    std::string inner = name.substr(5, name.size() - 6);
    const char* s = inner.c_str();
    char* end = nullptr;
    top = std::strtod(s, &end);
    if (*end != ',') return false;
    bottom = std::strtod(end + 1, &end);
    if (*end != ',') return false;
    step = std::strtod(end + 1, &end);
    return *end == '\0' && std::isfinite(top) && std::isfinite(bottom) && std::isfinite(step);
}

std::vector<double> ContourLevels(double top, double bottom, double step) {
    std::vector<double> levels;
    if (!(step > 0) || !(top >= bottom)) return levels;
    for (int k = 0; k < 1000; ++k) {
        double level = bottom + k * step;
        if (level > top + 1e-9) break;
        levels.push_back(level);
    }
    return levels;
}

GridMax MaximumInsideUnitCircle(const ContourGrid& grid) {
    return MaximumWhere(grid, [](double, double) { return true; });
}

GridMax MaximumWhere(const ContourGrid& grid, const std::function<bool(double re, double im)>& inside) {
    GridMax m;
    int ties = 0;
    for (int r = 0; r < ContourGrid::kSize; ++r)
        for (int q = 0; q < ContourGrid::kSize; ++q) {
            double x = ContourGrid::Coordinate(q), y = ContourGrid::Coordinate(r);
            double v = grid.At(r, q);
            if (x * x + y * y > 1.0 + 1e-12 || !std::isfinite(v) || !inside(x, y)) continue;
            if (!m.found || v > m.value) {
                m.found = true;
                m.value = v;
                m.re = x;
                m.im = y;
                ties = 1;
            } else if (v == m.value) {
                // Grid points that share the maximum (a symmetric measurement has them in
                // mirror pairs): their mean is where the maximum lies.
                m.re += x;
                m.im += y;
                ++ties;
            }
        }
    if (ties > 1) {
        m.re /= ties;
        m.im /= ties;
    }
    return m;
}

std::vector<Segment> ContourSegments(const ContourGrid& grid, double level) {
    std::vector<Segment> out;
    const int n = ContourGrid::kSize;
    for (int r = 0; r + 1 < n; ++r) {
        for (int q = 0; q + 1 < n; ++q) {
            // Corners counter-clockwise from the lower left: (q,r) (q+1,r) (q+1,r+1) (q,r+1).
            const double x0 = ContourGrid::Coordinate(q), x1 = ContourGrid::Coordinate(q + 1);
            const double y0 = ContourGrid::Coordinate(r), y1 = ContourGrid::Coordinate(r + 1);
            const double v[4] = {grid.At(r, q), grid.At(r, q + 1), grid.At(r + 1, q + 1), grid.At(r + 1, q)};
            const double px[4] = {x0, x1, x1, x0}, py[4] = {y0, y0, y1, y1};
            bool finite = true;
            for (double c : v) finite = finite && std::isfinite(c);
            if (!finite) continue;
            int index = 0;
            for (int k = 0; k < 4; ++k)
                if (v[k] >= level) index |= 1 << k;
            if (index == 0 || index == 15) continue;
            // The crossing on edge k (from corner k to corner k+1).
            auto cross = [&](int k, double& x, double& y) {
                int a = k, b = (k + 1) % 4;
                double t = (level - v[a]) / (v[b] - v[a]);
                x = px[a] + t * (px[b] - px[a]);
                y = py[a] + t * (py[b] - py[a]);
            };
            std::vector<int> edges;
            for (int k = 0; k < 4; ++k) {
                bool a = (index >> k) & 1, b = (index >> ((k + 1) % 4)) & 1;
                if (a != b) edges.push_back(k);
            }
            if (edges.size() == 2) {
                Segment s;
                cross(edges[0], s.x1, s.y1);
                cross(edges[1], s.x2, s.y2);
                out.push_back(s);
            } else if (edges.size() == 4) {
                // Saddle: the mean decides which corners connect.
                double mean = (v[0] + v[1] + v[2] + v[3]) / 4;
                bool centreHigh = mean >= level;
                bool corner0High = index & 1;
                int pairs[2][2];
                if (centreHigh == corner0High) {
                    pairs[0][0] = 0, pairs[0][1] = 1, pairs[1][0] = 2, pairs[1][1] = 3;
                } else {
                    pairs[0][0] = 3, pairs[0][1] = 0, pairs[1][0] = 1, pairs[1][1] = 2;
                }
                for (auto& p : pairs) {
                    Segment s;
                    cross(p[0], s.x1, s.y1);
                    cross(p[1], s.x2, s.y2);
                    out.push_back(s);
                }
            }
        }
    }
    return out;
}

}  // namespace vexasim
