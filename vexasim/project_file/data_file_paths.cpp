#include "vexasim/project_file/data_file_paths.h"

#include <map>

#include "vexasim/project_file/project_file.h"

namespace vexasim {

void AssignDataFilePaths(ProjectData& project, const std::set<std::string>& reserved) {
    std::set<std::string> taken = reserved;
    std::vector<DataFileData*> unplaced;
    // Paths a project already stores its data files at come first, so that a data
    // file created later never takes the place of an earlier one.
    for (DataFileData& f : project.dataFiles) {
        if (!f.path.empty() && IsPlainFileName(f.path) && taken.insert(f.path).second) continue;
        unplaced.push_back(&f);
    }
    for (DataFileData* f : unplaced) {
        std::string name = IsPlainFileName(f->fileName) ? f->fileName : "datafile.txt";
        if (!taken.count(name)) {
            f->path = name;
        } else {
            const size_t dot = name.find_last_of('.');
            const bool extension = dot != std::string::npos && dot > 0;
            const std::string stem = extension ? name.substr(0, dot) : name;
            const std::string suffix = extension ? name.substr(dot) : "";
            for (int k = 2;; ++k) {
                f->path = stem + "-" + std::to_string(k) + suffix;
                if (!taken.count(f->path)) break;
            }
        }
        taken.insert(f->path);
    }
}

std::vector<std::string> SharedPathWarnings(const ProjectData& project) {
    std::map<std::string, std::vector<std::string>> byPath;
    std::vector<std::string> order;
    for (const DataFileData& f : project.dataFiles) {
        if (f.path.empty()) continue;
        auto& names = byPath[f.path];
        if (names.empty()) order.push_back(f.path);
        names.push_back(f.name);
    }
    std::vector<std::string> out;
    for (const std::string& path : order) {
        const auto& names = byPath[path];
        if (names.size() < 2) continue;
        std::string list;
        for (size_t k = 0; k < names.size(); ++k)
            list += (k == 0 ? "" : k + 1 == names.size() ? " and " : ", ") + ("\"" + names[k] + "\"");
        out.push_back("the data files " + list + " are stored at one path, \"" + path +
                      "\", so they load with one text (whichever was written last); from now on each is saved to "
                      "a path of its own");
    }
    return out;
}

}  // namespace vexasim
