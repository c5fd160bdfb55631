#include "vexasim/report/label_placer.h"

#include <algorithm>
#include <cmath>

namespace vexasim {
namespace {

// Labels closer than this to one another read as one; beyond it, the upper of two
// candidates wins, so labels line up along the top of their contours when they can.
const double kComfortable = 18.0;
// The least gap between two labels.
const double kGap = 4.0;

double Gap(const Box& a, const Box& b) {
    const double dx = std::max({0.0, a.x0 - b.x1, b.x0 - a.x1});
    const double dy = std::max({0.0, a.y0 - b.y1, b.y0 - a.y1});
    return std::hypot(dx, dy);
}

}  // namespace

bool Overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

double LabelWidth(const std::string& text, double fontSize, bool bold) {
    // Advances in ems, rounded up over the usual faces.
    double em = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80) continue;  // continuation byte of a UTF-8 character
        if (c >= 0x80) em += 0.9;
        else if (c >= '0' && c <= '9') em += 0.64;
        else if (c == '.' || c == ',' || c == ' ' || c == ':' || c == ';' || c == '\'' || c == '|') em += 0.34;
        else if (c == 'i' || c == 'j' || c == 'l' || c == 'I' || c == 'J') em += 0.3;
        else if (c == '-' || c == '(' || c == ')' || c == '[' || c == ']' || c == 'f' || c == 't' || c == 'r') em += 0.42;
        else if (c == 'm' || c == 'M' || c == 'W' || c == '%' || c == '@') em += 1.0;
        else if (c == 'w' || c == '+' || c == '=' || c == '<' || c == '>' || c == '~' || c == '#') em += 0.86;
        else if (c >= 'A' && c <= 'Z') em += 0.78;
        else em += 0.65;
    }
    return em * fontSize * (bold ? 1.12 : 1.0) + 2.0;
}

LabelPlacer::LabelPlacer(double cx, double cy, double radius, double margin)
    : cx_(cx), cy_(cy), radius_(radius - margin) {}

bool LabelPlacer::InsideCircle(const Box& b) const {
    for (double x : {b.x0, b.x1})
        for (double y : {b.y0, b.y1})
            if (std::hypot(x - cx_, y - cy_) > radius_) return false;
    return true;
}

bool LabelPlacer::Place(const std::vector<std::pair<double, double>>& centres, double w, double h, Box& placed,
                        bool inOrder) {
    std::vector<Box> boxes;
    for (const auto& c : centres) boxes.push_back({c.first - w / 2, c.second - h / 2, c.first + w / 2, c.second + h / 2});
    return Place(boxes, placed, nullptr, inOrder);
}

bool LabelPlacer::Place(const std::vector<Box>& candidates, Box& placed, size_t* which, bool inOrder) {
    bool found = false;
    double bestScore = -1, bestY = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const Box& b = candidates[i];
        if (!InsideCircle(b)) continue;
        double clearance = kComfortable;
        for (const Box& t : taken_) {
            if (Overlap(b, t)) {
                clearance = -1;
                break;
            }
            clearance = std::min(clearance, Gap(b, t));
        }
        if (clearance < kGap) continue;
        if (inOrder) {
            found = true;
            placed = b;
            if (which) *which = i;
            break;
        }
        if (!found || clearance > bestScore || (clearance == bestScore && b.y0 < bestY)) {
            found = true;
            bestScore = clearance;
            bestY = b.y0;
            placed = b;
            if (which) *which = i;
        }
    }
    if (found) taken_.push_back(placed);
    return found;
}

}  // namespace vexasim
