// The drive-up of an input port's circuit at one load, as a load-pull bench does
// it: the small-signal gain at the start drive, then the available power raised
// step by step until the gain has fallen by each requested level, and each level
// found exactly between the two drives that bracket it (the bracket shrinks
// around it, so the result does not hang on the step). Every drive continues from
// the steady state of the one before.
#pragma once
#include <string>
#include <vector>

#include "vexasim/circuit/engine.h"

namespace circuit {

// The measurements at one compression level, interpolated between the drives
// that bracket it.
struct CompressionPoint {
    double level = 0.0;  // dB of compression
    double poutDbw = 0.0, pinDbw = 0.0, pavsDbw = 0.0;
    double paePct = 0.0, drainEffPct = 0.0;
    double gainDb = 0.0;  // the compressed gain (Gt, or Gp when asked)
    double idcA = 0.0;
};

struct Compression {
    double smallSignalDb = 0.0;         // the gain at the start drive
    std::vector<CompressionPoint> points;  // the levels reached, ascending
    double reached = 0.0;               // the largest compression met
    double expansion = 0.0;             // the largest rise of the gain above small signal
    bool capReached = false;            // a level lies beyond the cap: error says which
    int analyses = 0;                   // drives simulated
    int periods = 0;
    double seconds = 0.0;
    std::string error;                  // why the drive-up stopped short, or ""
};

// Bracket width in dB of available power below which a level is interpolated.
constexpr double kLevelBracketDb = 0.2;

// Runs the drive-up of the circuit's driveUp at these loads (their pavsDbm is
// ignored). Returns false when an analysis fails (error says at which drive);
// a cap reached before a level is no failure of the run: the result tells it.
bool DriveUp(const vexasim::CircuitData& circuit, const Params& params, const Loads& loads, Compression& result);

}  // namespace circuit
