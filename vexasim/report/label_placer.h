// Places text labels on a chart so that no two overlap and none leaves the chart's
// circle: each label takes, of its candidate positions, one that is free, keeping
// its distance from the labels already placed where it can.
#pragma once
#include <string>
#include <vector>

namespace vexasim {

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // SVG pixels, y downwards
};
bool Overlap(const Box& a, const Box& b);

// The width a sans-serif label takes at this font size (an upper estimate for the
// common sans-serif faces), bold or not.
double LabelWidth(const std::string& text, double fontSize, bool bold = false);
// The extent of a line of text above and below its baseline (an upper estimate).
inline double Ascent(double fontSize) { return 0.95 * fontSize; }
inline double Descent(double fontSize) { return 0.25 * fontSize; }
// The height of a label's box and where its baseline lies in a box.
inline double LabelHeight(double fontSize) { return Ascent(fontSize) + Descent(fontSize); }
inline double Baseline(const Box& b, double fontSize) { return b.y1 - Descent(fontSize); }

class LabelPlacer {
public:
    // Labels must lie inside the circle (cx, cy, radius) by at least margin.
    LabelPlacer(double cx, double cy, double radius, double margin);

    // Something the labels must not cover (a marker).
    void Reserve(const Box& box) { taken_.push_back(box); }

    // Of the candidate centres, one whose box of width w and height h fits and keeps
    // a small gap to every other: the first such in order when `inOrder`, otherwise
    // the one farthest from the others (up to a comfortable distance), the upper of
    // two equally far. False when none fits.
    bool Place(const std::vector<std::pair<double, double>>& centres, double w, double h, Box& placed,
               bool inOrder = false);
    // The same over candidate boxes of their own sizes; `which` gets the index of the one taken.
    bool Place(const std::vector<Box>& candidates, Box& placed, size_t* which = nullptr, bool inOrder = false);

    const std::vector<Box>& Taken() const { return taken_; }

private:
    bool InsideCircle(const Box& b) const;
    double cx_, cy_, radius_;
    std::vector<Box> taken_;
};

}  // namespace vexasim
