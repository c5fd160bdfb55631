// Progress and samples of a run: watches every analysis the add-in asks for. A
// sample is an analysis at the arguments (0, -1) that ran at a tuner setting a
// simulator variable had just set; it records that setting and every real
// measurement of a schematic, in the units the project displays.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "vexasim/host.h"
#include "vexasim/report/outputs.h"

namespace vexasim {

class SweepWatcher {
public:
    SweepWatcher(Host& host, bool quiet);

    // To be called after each analysis that ran (the host's analyze observer).
    void OnAnalyze(long first, long second);
    // Ends the progress line.
    void Finish();

    SampleTable table;

private:
    bool IsSchematic(const std::string& name) const;
    double Value(size_t column) const;
    void Progress(long k, long total);

    Host& host_;
    bool quiet_, tty_;
    bool printed_ = false;
    int lastTenth_ = 0;
    std::vector<long> units_;
    std::chrono::steady_clock::time_point start_;
};

// How many tuner settings the add-in shows it will analyse: the most points of a
// measurement of no schematic that holds the setting (as real and imaginary
// parts) among others; 0 when none does.
long PlannedSettings(const ProjectData& project, const TunerSetting& setting);

}  // namespace vexasim
