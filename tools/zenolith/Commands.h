// The subcommands of the zenolith tool. Each takes its arguments (without the
// subcommand name) and returns the process exit status: 0 success, 1 failure
// of the operation, 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace zenolith::tools {

using Args = std::vector<std::string>;

int RegisterCommand(const Args& args);
int UnregisterCommand(const Args& args);
int ClassesCommand(const Args& args);
int DescribeCommand(const Args& args);
int ScriptCommand(const Args& args);
int ConvertCommand(const Args& args);
int DecodeCommand(const Args& args);
int ListenCommand(const Args& args);

bool WantsHelp(const Args& args);

}  // namespace zenolith::tools
