// Where a saved project keeps its data files. The file name of a data file is the
// add-in's (the wizard names the files it creates after their place in its list, so
// two runs can give the same name); where the text is stored is the host's business:
// every data file gets a path of its own beside the project, and no write of one
// data file ever replaces another's text.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "vexasim/host.h"

namespace vexasim {

// Gives every data file of the project a plain file name of its own in the folder
// the project is saved to, in `path`. A data file keeps the path it was loaded from
// while no earlier data file holds it, otherwise takes its file name while that is
// free, otherwise a free name derived from it ("name-2.txt", "name-3.txt", ...).
// Names in `reserved` (the project file, the other outputs) are never given.
void AssignDataFilePaths(ProjectData& project, const std::set<std::string>& reserved);

// One line per group of data files that a project file points at one stored path,
// naming them: only one of their texts can have survived the save that wrote them.
std::vector<std::string> SharedPathWarnings(const ProjectData& project);

}  // namespace vexasim
