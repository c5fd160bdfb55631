// A netlist is code for ngspice, and project files travel between people: the
// host reads the files a netlist includes itself, puts their lines in place, and
// lets through only lines that describe a circuit. Nothing a netlist holds may
// run a command, read or write a file, or load a library.
#pragma once
#include <string>
#include <vector>

namespace circuit {

// Where a netlist comes from: its text, the folder its relative .include and
// .lib names are read from (the project's folder; "" for the current one), and
// the name its lines are reported under ("netlist" for the project's own lines,
// or the netlist file's name).
struct NetlistSource {
    std::string text;
    std::string folder;
    std::string name = "netlist";
};

// Replaces every ".include FILE" (".inc") by the file's lines and every
// ".lib FILE SECTION" by that section of the file, recursively; a .lib section
// that no line asks for is left out, as ngspice leaves it out. A name must be a
// relative path that stays inside the folder (no absolute path, no "..", no link
// out of it). Then checks every resulting line (see NetlistSafetyProblems). Each
// problem reads "NAME line N: ..." with the file and line it comes from. Returns
// true and the text ngspice may see when there is none.
bool ExpandNetlist(const NetlistSource& source, std::string& expanded, std::vector<std::string>& problems);

// The lines of a netlist (already expanded) that ngspice must not see: .control
// blocks, "*#" lines (ngspice runs them as commands), .include and .lib (read by
// the host), dot commands other than those that describe a circuit, analyses and
// .end (the engine writes those), code-model and compiled-model instances (they
// read and run files), control characters, and lines whose parentheses, braces or
// quotes do not pair up (ngspice would repair them and simulate another circuit).
// Each problem reads "NAME line N: ...".
std::vector<std::string> NetlistSafetyProblems(const std::string& netlist, const std::string& name = "netlist");

}  // namespace circuit
