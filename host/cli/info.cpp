// `info`: what a host learns of a plug-in before it processes anything.
#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/cli/arguments.h"
#include "host/cli/commands.h"
#include "host/cli/json.h"
#include "host/cli/plugin_session.h"

namespace cli {

namespace {
void PrintText(const std::string& module, const std::vector<Fact>& facts,
               const std::vector<PluginSession::Parameter>& parameters, std::ostream& out) {
    auto line = [&out](const std::string& label, const std::string& text) {
        if (text.empty()) out << label << "\n";
        else out << label << std::string(label.size() < 16 ? 16 - label.size() : 1, ' ') << text << "\n";
    };
    line("module", module);
    for (const Fact& fact : facts) {
        line(fact.label, fact.text);
        for (const std::string& more : fact.lines) out << more << "\n";
    }
    line("parameters", std::to_string(parameters.size()));
    if (!parameters.empty()) out << "  index  value            display  label  name\n";
    for (const auto& p : parameters) {
        char text[256];
        std::snprintf(text, sizeof text, "  %5d  %-12s  %10s  %-5s  %s\n", p.index, Number(p.value).c_str(),
                      p.display.c_str(), p.label.c_str(), p.name.c_str());
        out << text;
    }
}

void PrintJson(const std::string& module, const std::vector<Fact>& facts,
               const std::vector<PluginSession::Parameter>& parameters, std::ostream& out) {
    out << "{\n  \"module\": " << Json(module);
    for (const Fact& fact : facts)
        for (const auto& [key, value] : fact.json) out << ",\n  " << Json(key) << ": " << value;
    out << ",\n  \"parameters\": [";
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const auto& p = parameters[k];
        out << (k ? "," : "") << "\n    {\"index\": " << p.index << ", \"name\": " << Json(p.name)
            << ", \"label\": " << Json(p.label) << ", \"value\": " << Number(p.value)
            << ", \"display\": " << Json(p.display) << "}";
    }
    out << (parameters.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
} // namespace

int Info(const std::vector<std::string>& argv) {
    const Arguments arguments = Parse(argv, {"--set", "--load-state"}, {"--json"}, 1);
    constexpr double rate = 44100.0;
    constexpr int block = 512;
    const auto session = PluginSession::Open(arguments.positional[0], rate, block);
    for (const std::string& path : arguments.Values("--load-state")) session->LoadState(path);
    for (const std::string& assignment : arguments.Values("--set")) session->Set(assignment);
    // Resumed, as a host has it before processing: some plug-ins report their delay only then.
    session->Start(rate, block, Precision::Single);
    const std::vector<Fact> facts = session->Describe();
    const auto parameters = session->Parameters();
    session->Stop();
    std::ostringstream text;
    if (arguments.Has("--json")) PrintJson(session->path(), facts, parameters, text);
    else PrintText(session->path(), facts, parameters, text);
    std::cout << text.str() << std::flush;
    return 0;
}

} // namespace cli
