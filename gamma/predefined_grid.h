// The four pre-defined polar grids of gamma points ("Coarse" .. "Extra Fine").
#pragma once

#include <memory>

// Number of density choices offered (indices 0 .. kPredefinedGridCount - 1).
constexpr long kPredefinedGridCount = 4;

// Builds the grid of the given density (0 = Coarse, 1 = Medium, 2 = Fine,
// 3 = Extra Fine): rings from the outermost (magnitude 0.95) inwards, each
// starting at 0 degrees and running counter-clockwise, then the centre point.
// Every value is the double that its six-decimal text parses to; the centre
// is an exact (0, 0).
//
// On success both arrays are replaced by new ones of the returned length
// (61, 127, 217 or 331). For a density outside 0..3 the result is 0 and both
// arguments are left untouched.
long MakePredefinedGrid(long density, std::unique_ptr<double[]>& magnitudes,
                        std::unique_ptr<double[]>& anglesDeg);
