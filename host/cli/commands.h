// The command-line host's commands; each returns the process's exit status.
#pragma once

#include <string>
#include <vector>

namespace cli {

int Info(const std::vector<std::string>& argv);
int Render(const std::vector<std::string>& argv);
int Tone(const std::vector<std::string>& argv);
int Measure(const std::vector<std::string>& argv);
int Sweep(const std::vector<std::string>& argv);

} // namespace cli
