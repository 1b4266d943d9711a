// One loaded plug-in for the command-line host: the module, a host that
// answers its requests, and an open instance, with the lookups the commands
// share (parameters by name, state files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/vsthost.h"

namespace cli {

class PluginSession {
public:
    // Loads and opens the plug-in, or throws Error with the reason.
    explicit PluginSession(const std::string& modulePath);

    AEffect& effect() const { return *instance_->effect(); }
    vsthost::Instance& instance() { return *instance_; }
    vsthost::Host& host() { return host_; }
    const std::string& path() const { return path_; }

    struct Parameter {
        int index;
        std::string name, label, display;
        float value;
    };
    std::vector<Parameter> Parameters();
    Parameter ParameterAt(int index);

    // A parameter by index or by name, matched without regard to case;
    // throws Error listing the valid names when nothing matches.
    int FindParameter(const std::string& nameOrIndex);
    // Applies "NAME=VALUE" with a normalised VALUE in 0 … 1.
    void Set(const std::string& assignment);

    // State files: a small header naming the plug-in, then its chunk.
    void LoadState(const std::string& file);
    void SaveState(const std::string& file);

private:
    std::string path_;
    vsthost::Module module_;
    vsthost::Host host_;
    std::unique_ptr<vsthost::Instance> instance_;
};

// "name=value" split at the last '='; throws UsageError without one.
std::pair<std::string, std::string> SplitAssignment(const std::string& assignment);

inline constexpr char kStateMagic[8] = {'V', 'S', 'T', '2', 'S', 'T', 'A', 'T'};
inline constexpr std::size_t kStateHeaderBytes = 16; // magic, unique ID, chunk bytes

} // namespace cli
