// What the pursuit shows its user: the lines `vexasim run --pursue` prints and
// what it draws on the chart.
#pragma once
#include <string>

#include "vexasim/app/pursuit.h"
#include "vexasim/report/svg.h"

namespace vexasim {

// The lines `vexasim run --pursue` prints: how each pursuit ended, its optimum
// (gamma, Z, value, uncertainty), the rounds and analyses, and a few points of the
// trade-off line.
std::string PursuitSummary(const PursuitReport& report);

// The lines the chart draws: the rounds' centres in order, and the trade-off line.
Overlay PursuitPath(const PursuitReport& report);
Overlay TradeOffLine(const PursuitReport& report);

// The part of the chart that shows the pursuit's end: the last round's grid, the
// optima and the trade-off line, with a margin (half-width 1: the whole chart).
void PursuitView(const PursuitReport& report, GammaPoint& centre, double& halfWidth);

}  // namespace vexasim
