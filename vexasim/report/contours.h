// The 41 x 41 contour grids the wizard writes into data files: parsing them back,
// their maximum inside the unit circle, and contour lines by marching squares.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vexasim {

// Grid of the data file text: row r has Im = -1 + 0.05 r, column q has Re = -1 + 0.05 q.
struct ContourGrid {
    static constexpr int kSize = 41;
    std::vector<double> values;  // row-major, kSize * kSize
    double At(int r, int q) const { return values[static_cast<size_t>(r) * kSize + q]; }
    static double Coordinate(int i) { return -1.0 + 0.05 * i; }
};

// Parses the text: 41 lines of 41 numbers. Returns false with a message otherwise.
bool ParseContourGrid(const std::string& text, ContourGrid& grid, std::string& error);

// Levels of "LPCS[top,bottom,step]": bottom, bottom + step, ... up to top.
bool ParseContourName(const std::string& name, double& top, double& bottom, double& step);
std::vector<double> ContourLevels(double top, double bottom, double step);

struct GridMax {
    bool found = false;
    double value = 0;
    double re = 0, im = 0;
};
// The largest grid value at a point with |gamma| <= 1; where several points share it,
// the mean of their positions.
GridMax MaximumInsideUnitCircle(const ContourGrid& grid);
// The same over the grid points inside the unit circle for which `inside` holds.
GridMax MaximumWhere(const ContourGrid& grid, const std::function<bool(double re, double im)>& inside);

struct Segment {
    double x1, y1, x2, y2;  // gamma plane coordinates
};
// Line segments where the grid crosses the level (linear interpolation along the
// cell edges; saddle cells resolved by the cell's mean).
std::vector<Segment> ContourSegments(const ContourGrid& grid, double level);

}  // namespace vexasim
