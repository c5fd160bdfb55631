// Project files of the stand-in host: JSON holding schematics, graphs, data files,
// display units and each add-in's persisted state. Loading validates everything and
// reports each problem with its place; nothing is guessed.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vexasim/host.h"

namespace vexasim {

struct AddinState {
    bool hasName = false;
    std::string name;
    bool hasSettings = false;
    std::vector<uint8_t> settings;  // the bytes IPersistStream::Save wrote
};

struct ProjectFile {
    ProjectData data;
    std::map<std::string, AddinState> addins;  // by ProgID
};

// Parses project text. `where` names the file in messages ("amplifier.json"),
// `baseDir` is the folder that data-file paths are relative to. Returns false and
// fills errors ("amplifier.json: schematics[0].elements[2].parameters.Mag: expected a
// number") when anything is wrong; `out` is then unspecified.
bool ParseProject(const std::string& text, const std::string& where, const std::string& baseDir, ProjectFile& out,
                  std::vector<std::string>& errors);
bool LoadProjectFile(const std::string& path, ProjectFile& out, std::vector<std::string>& errors);

// The project as JSON text. Data files are referenced by their file name, relative
// to the folder the project is written to, so the data files are written beside it.
std::string SerializeProject(const ProjectFile& project);

// Whether a data file's file name is safe to write inside an output folder: a plain
// name, no folder parts, no "..".
bool IsPlainFileName(const std::string& name);

// Complex points of a gamma-source data file: one "real<TAB>imaginary" per line;
// blank lines and lines starting with '#' are skipped. Returns false with the line
// number of the first malformed line.
bool ParsePoints(const std::string& text, std::vector<std::pair<double, double>>& points, int& badLine);

std::string Base64Encode(const std::vector<uint8_t>& bytes);
bool Base64Decode(const std::string& text, std::vector<uint8_t>& bytes);

}  // namespace vexasim
