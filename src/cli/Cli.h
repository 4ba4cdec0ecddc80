#pragma once
// The command-line tool's commands, kept out of main() so that tests can run them.
#include <string>
#include <vector>

namespace tess {

// Writes UTF-8 to standard output and standard error; returns the exit status.
int RunCli(const std::vector<std::u16string>& args);

}  // namespace tess
