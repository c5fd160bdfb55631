// The drive-up of an input port's circuit at one load, as a load-pull bench does
// it: the small-signal gain at the start drive, then the available power raised
// until the gain has fallen by each requested level, and each level found exactly
// between two drives that bracket it (the bracket shrinks around it, so the result
// does not hang on the step). Every drive continues from the steady state of the
// one before.
//
// A sweep's loads lie close to one another, so the drive-up of one load aims its
// first drive where the loads near it found the level, and from there it follows
// the slope of the compression with the drive instead of stepping up from the
// start: a few drives per load instead of one per step. Where it aims changes
// which drives it simulates, not what it finds: a level is still found between
// two drives at most kLevelBracketDb apart.
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
    double slope = 0.0;  // dB of compression per dB of available power there
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

// What the drive-ups of a sweep have found so far: where each level lay at each
// load. It tells the next drive-up where to aim first, from a plane through the
// loads nearest it, and how steep the compression was there.
class DriveUpGuide {
public:
    // The drive-up at these loads found this (the levels it reached). A guide
    // holds one circuit: another circuit, parameter value or drive-up starts it over.
    void Add(const vexasim::CircuitData& circuit, const Params& params, const Loads& loads, const Compression& found);
    // Where the level is likely to lie at these loads (dBm) and the slope of the
    // compression there (dB per dB); false when the guide knows nothing of it.
    bool Predict(const vexasim::CircuitData& circuit, const Params& params, const Loads& loads, double level,
                 double& pavsDbm, double& slope) const;

private:
    struct Seen {
        double x[4];  // the fundamental's load and source reflection coefficients
        double level, pavsDbm, slope;
    };
    std::string identity_;
    std::vector<Seen> seen_;
};

// Runs the drive-up of the circuit's driveUp at these loads (their pavsDbm is
// ignored). Returns false when an analysis fails (error says at which drive);
// a cap reached before a level is no failure of the run: the result tells it.
// A drive that finds no steady state is retried once or twice nearer the drive
// below it before the drive-up gives up.
//
// A guide (null: none) says where to aim first and learns what this drive-up
// finds; it changes which drives are simulated, never the values found beyond
// the bracket's width.
bool DriveUp(const vexasim::CircuitData& circuit, const Params& params, const Loads& loads, Compression& result,
             DriveUpGuide* guide = nullptr);

}  // namespace circuit
