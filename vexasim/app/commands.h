// The commands of the vexasim program. Each returns the process exit status:
// 0 success, 1 the wizard reported an error, 2 bad usage or input.
#pragma once
#include <string>
#include <vector>

namespace vexasim {

int RegisterModule(const std::string& module, bool doRegister);
int ListAddins();
int RunCommand(const std::vector<std::string>& args);
int RenderCommand(const std::vector<std::string>& args);

}  // namespace vexasim
