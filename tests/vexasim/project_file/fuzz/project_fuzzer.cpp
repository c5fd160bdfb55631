// The fuzzing entry point for vexasim's project loader. Built with clang's
// libFuzzer by scripts/ci-fuzz; the regular build replays the corpus next to it.
//
// A project file is the user's: any text may be given. ParseProject must not
// crash, leak or read out of bounds; it refuses with at least one message or
// accepts with none; and a project it accepts is saved as text that loads again
// (with its data files' text given inline, as they would be written beside it).
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "vexasim/project_file/project_file.h"

namespace {
// Data-file paths are read relative to this folder, which holds nothing.
const char kNoFolder[] = "/nonexistent-vexasim-fuzz";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    vexasim::ProjectFile project;
    std::vector<std::string> errors;
    const bool ok = vexasim::ParseProject(text, "fuzz.json", kNoFolder, project, errors);
    if (ok != errors.empty()) std::abort();
    if (!ok) return 0;

    nlohmann::json saved = nlohmann::json::parse(vexasim::SerializeProject(project));
    size_t i = 0;
    for (auto& file : saved["dataFiles"]) {
        file.erase("path");
        file["text"] = project.data.dataFiles[i++].text;
    }
    vexasim::ProjectFile again;
    errors.clear();
    if (!vexasim::ParseProject(saved.dump(), "saved.json", kNoFolder, again, errors)) std::abort();
    return 0;
}
