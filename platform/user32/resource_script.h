// The native counterpart of a module's compiled resources: the module's resource
// script (.rc) and the headers it includes are embedded as text when the module is
// built and read here when a dialog is created from them. Only the statements the
// wizard's script uses are understood (DIALOG/DIALOGEX with their controls,
// STRINGTABLE, #include/#define and include guards); anything else is refused with
// the line it stands on.
#pragma once
#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace platform {

struct ResourceFile {
    const char* name;  // as a script names it in #include "..."
    const char* text;
};

struct DialogItemTemplate {
    std::string className;  // "Button", "Static", "Edit", "ComboBox", "ListBox"
    std::string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogTemplate {
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;
    int fontSize = 0;
    std::vector<DialogItemTemplate> items;  // template order, which is the tab order
};

struct ResourceScript {
    std::map<int, DialogTemplate> dialogs;
    std::map<int, std::string> strings;
};

// Reads files[0] as the script; the others are what it may #include by name. Standard
// headers (<windows.h> and the like) are known without being given.
bool ParseResourceScript(const ResourceFile* files, size_t count, ResourceScript& script, std::string& error);

// Makes a script the resources of the module that holds `files` (the module whose
// image contains the text) while the object lives. One per module: the build puts
// one into each program and shared object that links the dialogs.
class ResourceScriptRegistration {
public:
    ResourceScriptRegistration(const ResourceFile* files, size_t count);
    ~ResourceScriptRegistration();
    ResourceScriptRegistration(const ResourceScriptRegistration&) = delete;
    ResourceScriptRegistration& operator=(const ResourceScriptRegistration&) = delete;

private:
    const ResourceFile* files_;
};

// The template of dialog `id` among the resources of `module` (a module handle as
// GetModuleHandleExA gives it; null, "the program", is not supported). False, with the
// reason, when the module has no script, the script does not parse or holds no such dialog.
bool FindDialogTemplate(HINSTANCE module, int id, DialogTemplate& dialog, std::string& error);

// The module that holds an address (its load address), or null.
HINSTANCE ModuleOf(const void* address);

}  // namespace platform
