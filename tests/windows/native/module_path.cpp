#include "tests/windows/module_path.h"

std::basic_string<OLECHAR> TestedModulePath() {
    const std::string path = LPT_MODULE_PATH;  // a path of the build folder, ASCII
    return std::basic_string<OLECHAR>(path.begin(), path.end());
}
