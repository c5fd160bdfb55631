// The contour grid: 41 x 41 points over -1 <= Re, Im <= +1 in steps of 0.05,
// not clipped to the unit circle, and the text the contour data files hold.
#pragma once
#include <string>
#include <vector>

class InterpolatorHolder;

namespace contour {

constexpr int kGridSize = 41;                       // values per axis
constexpr int kGridValues = kGridSize * kGridSize;  // 1681

// Coordinate of grid index 0..40 (-1.0 + 0.05 * index), computed from the index
// rather than by adding steps, so the last row and column land on +1.
double Coordinate(int index);

// The holder's values on the grid, row by row: value[r * 41 + q] belongs to
// Re = Coordinate(q), Im = Coordinate(r).
std::vector<double> Evaluate(InterpolatorHolder& holder);

// False when any value is not a number.
bool AllNumbers(const std::vector<double>& values);

// True when every value differs from the first by less than 1e-9. A value that
// is not a number is never within the tolerance.
bool IsConstant(const std::vector<double>& values);

// The data file text: one line per row from Im = -1 upwards, each value as
// "%.6f " (so every line ends with a space), each line ended by "\n".
std::string Text(const std::vector<double>& values);

}  // namespace contour
