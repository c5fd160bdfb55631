// vexasim: the stand-in host as a program. It opens a project file, finds the
// wizard among the registered add-ins, runs it, and saves what it produced.
//
//   vexasim register MODULE        register an add-in module (its DllRegisterServer)
//   vexasim unregister MODULE      unregister it (DllUnregisterServer)
//   vexasim addins                 list the registered add-ins
//   vexasim run PROJECT [-o OUTDIR] [options]
//   vexasim render PROJECT [--graph NAME] -o FILE.svg
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vexasim/app/commands.h"

namespace {

void Usage(FILE* to) {
    std::fputs(
        "usage:\n"
        "  vexasim register MODULE\n"
        "  vexasim unregister MODULE\n"
        "  vexasim addins\n"
        "  vexasim run PROJECT [-o OUTDIR] [--addin PROGID] [--schematic NAME] [--tuner NAME]\n"
        "              [--harmonic 1|2|3] [--grid coarse|medium|fine|extra-fine]\n"
        "              [--center MAG@ANGLE] [--radius R] [--measured-data NAME] [--tab-data NAME]\n"
        "              [--measure SOURCE:NAME=DATAFILE]... [--remove-all] [--script FILE]\n"
        "              [--simulate] [--interactive] [--quiet] [--analysis-delay MS] [--earlier-contours]\n"
        "              [--inject OBJECT.MEMBER[@N]=RESULT[:DESCRIPTION]]...\n"
        "              [--pursue MEASUREMENT[,MEASUREMENT] [--tolerance T] [--rounds N]]\n"
        "  vexasim render PROJECT [--graph NAME] [--earlier-contours] -o FILE.svg|FILE.html\n"
        "Without dialog options, run opens the dialogs in the terminal when stdin and stdout\n"
        "are one (--interactive insists on it). Charts draw the latest run's contours; --earlier-contours\n"
        "adds those that earlier runs left on the graph, dashed. The registry is the file named by\n"
        "PLATFORM_REGISTRY.\n"
        "--pursue runs the wizard in rounds (round-1/, round-2/, ... in OUTDIR), each on a grid\n"
        "moved to the maximum found so far, until the optimum is known to the tolerance (default\n"
        "0.05 dB or 0.5 percentage points), at most N rounds a measurement (default 8); with two\n"
        "measurements it also draws the trade-off line between their optima.\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        Usage(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    for (const std::string& a : args)
        if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        }
    if (command == "register" || command == "unregister") {
        if (args.size() != 1) {
            Usage(stderr);
            return 2;
        }
        return vexasim::RegisterModule(args[0], command == "register");
    }
    if (command == "addins") return vexasim::ListAddins();
    if (command == "run") return vexasim::RunCommand(args);
    if (command == "render") return vexasim::RenderCommand(args);
    std::fprintf(stderr, "vexasim: unknown command \"%s\"\n", command.c_str());
    Usage(stderr);
    return 2;
}
