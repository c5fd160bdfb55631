// The table of the resource scripts of the loaded modules, each read on first use.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/user32/resource_script.h"

namespace platform {

namespace {

struct Registered {
    const ResourceFile* files;
    size_t count;
    HINSTANCE module;
    std::shared_ptr<ResourceScript> parsed;  // read on first use
    std::string error;
};

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}
std::vector<Registered>& Table() {
    static std::vector<Registered> table;
    return table;
}

}  // namespace

ResourceScriptRegistration::ResourceScriptRegistration(const ResourceFile* files, size_t count) : files_(files) {
    std::lock_guard<std::mutex> guard(TableLock());
    HMODULE module = nullptr;
    if (count && !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     files[0].text, &module))
        module = nullptr;
    Table().push_back(Registered{files, count, module, nullptr, std::string()});
}

ResourceScriptRegistration::~ResourceScriptRegistration() {
    std::lock_guard<std::mutex> guard(TableLock());
    auto& table = Table();
    for (auto it = table.begin(); it != table.end(); ++it)
        if (it->files == files_) {
            table.erase(it);
            break;
        }
}

bool FindDialogTemplate(HINSTANCE module, int id, DialogTemplate& dialog, std::string& error) {
    std::lock_guard<std::mutex> guard(TableLock());
    if (!module) {
        error = "dialogs need the handle of the module that holds them";
        return false;
    }
    for (Registered& r : Table()) {
        if (r.module != module) continue;
        if (!r.parsed && r.error.empty()) {
            auto parsed = std::make_shared<ResourceScript>();
            if (ParseResourceScript(r.files, r.count, *parsed, r.error)) r.parsed = parsed;
        }
        if (!r.parsed) {
            error = r.error;
            return false;
        }
        auto it = r.parsed->dialogs.find(id);
        if (it == r.parsed->dialogs.end()) {
            error = "the module has no dialog " + std::to_string(id);
            return false;
        }
        dialog = it->second;
        return true;
    }
    error = "the module has no resources";
    return false;
}

}  // namespace platform
