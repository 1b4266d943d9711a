// vstrun: inspect, render and measure through any VST 2.4 effect module.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "host/cli/commands.h"
#include "host/cli/error.h"

namespace {
const char kUsage[] = R"(usage:
  vstrun info MODULE [--json] [--set NAME=VALUE]... [--load-state FILE]
  vstrun render MODULE IN OUT [--block N] [--double] [--set NAME=VALUE]...
                [--load-state FILE] [--save-state FILE]
                [--format wav|aiff|flac] [--encoding pcm16|pcm24|pcm32|float|double] [--quiet]
  vstrun tone OUT [--freq F1,F2,...] [--seconds S] [--rate HZ] [--level DBFS]
  vstrun measure FILE [--freq F1,F2,...]
  vstrun sweep MODULE --param NAME [--steps N] [--set NAME=VALUE]... [--freq F1,...]
               [--output N] [--svg FILE]

NAME is a parameter's name (any case) or index; VALUE is normalised, 0 to 1.
render reads IN, one channel per plug-in input, and writes OUT with one channel
per output, in IN's format and rate unless --format or --encoding say otherwise.
)";
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    try {
        if (command == "info") return cli::Info(arguments);
        if (command == "render") return cli::Render(arguments);
        if (command == "tone") return cli::Tone(arguments);
        if (command == "measure") return cli::Measure(arguments);
        if (command == "sweep") return cli::Sweep(arguments);
        throw cli::UsageError("unknown command \"" + command + "\"");
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "vstrun: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vstrun: %s\n", e.what());
        return 1;
    }
}
