// The run command's options: what a run of the wizard is asked to do on the command line.
#pragma once
#include <string>
#include <vector>

#include "vexasim/app/dialog_script.h"
#include "vexasim/app/inject.h"
#include "vexasim/app/pursuit.h"

namespace vexasim {

// Everything a run of the wizard is asked to do on the command line.
struct RunOptions {
    std::string project;
    std::string outDir = "out";
    std::string addin = "Tessary.LPTuner";
    bool quiet = false;
    int analysisDelayMs = 0;  // a slow simulator, for trying interruptions
    bool interactive = false;  // a person answers the dialogs: nothing is scripted
    bool earlierContours = false;  // the charts also draw the contours of earlier runs
    std::vector<Injection> injections;
    DialogOptions dialog;
    PursuitSettings pursuit;  // with measurements: run in rounds until their optima are found
};

// Reads the arguments after "run"; false with error set for an option it cannot take.
bool ParseRunOptions(const std::vector<std::string>& args, RunOptions& o, std::string& error);

}  // namespace vexasim
