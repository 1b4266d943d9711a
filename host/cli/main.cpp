// vstrun: inspect, render and measure through a VST 2.4, LV2, CLAP or VST3 plug-in.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "host/cli/commands.h"
#include "host/cli/destination.h"
#include "host/cli/error.h"
#include "quill_version.h"

namespace {
const char kUsage[] = R"(usage:
  vstrun info MODULE [--json] [--set NAME=VALUE]... [--load-state FILE]
  vstrun render MODULE IN OUT [options]
  vstrun render MODULE OUT --seconds S [--rate HZ] [options]
  vstrun tone OUT [--freq F1,F2,...] [--seconds S] [--rate HZ] [--level DBFS]
                  [--format NAME] [--encoding NAME]
  vstrun measure FILE [--freq F1,F2,...] [--json]
  vstrun sweep MODULE --param NAME [--steps N] [--set NAME=VALUE]... [--freq F1,...]
               [--output N] [--svg FILE] [--json]
  vstrun --version

`vstrun COMMAND --help` tells what a command and each of its options do.
)";

const char kInfoHelp[] = R"(usage: vstrun info MODULE [--json] [--set NAME=VALUE]... [--load-state FILE]

Loads MODULE, resumes it at 44100 Hz with blocks of 512 frames, and prints
what a host learns of it: names, inputs and outputs, flags, unique ID, the
initial delay it reports once resumed, its answers to the common capability
questions (for LV2, CLAP and VST3: URI or ID, version, ports or buses and the
other facts of the format), and every parameter with its value and display text.
MODULE is a path; a bare name is looked for in the current folder first. A
folder ending in .lv2 is an LV2 bundle, a file ending in .clap a CLAP module,
a folder ending in .vst3 a VST3 bundle, anything else a VST 2.4 module.

  --json               print the same as JSON
  --set NAME=VALUE     set a parameter first: NAME is its name (any case),
                       index or LV2 symbol, VALUE its normalised value, 0 to 1,
                       in every format (LV2 and CLAP: mapped onto the
                       parameter's range); may repeat
  --load-state FILE    load a state file written by render --save-state
                       (applied before every --set)
)";

const char kRenderHelp[] = R"(usage: vstrun render MODULE IN OUT [options]
       vstrun render MODULE OUT --seconds S [--rate HZ] [options]

Runs IN through the plug-in as a host plays it, block by block, and writes the
output to OUT: one channel per plug-in output, at IN's sample rate. IN needs
one channel per plug-in input. A plug-in without inputs takes no IN: give
--seconds, and --rate if not 44100 Hz. The plug-in is told the true sample
rate and block size and, as far as its format lets a host tell them, an
advancing playing transport and the offline process level.

By default the plug-in's latency is compensated: the first frames it reports
as its initial delay are dropped and IN is followed by silence, so OUT lines up
with IN and has its length (plus any --tail).

OUT is replaced only when it is complete, through a temporary file beside it,
keeping an existing file's permissions; a symbolic link is followed and its
target replaced so. A device or FIFO is written in place, and `-` writes to
standard output. OUT may not be IN, the module or a state file.

  --block N            frames per processing call, 1 to 1048576 (default 512)
  --double             process through the 64-bit path (not for LV2)
  --set NAME=VALUE     set a parameter: NAME is its name (any case), index or
                       LV2 symbol, VALUE its normalised value, 0 to 1; may repeat
  --load-state FILE    load a state file first (before every --set)
  --save-state FILE    write the plug-in's state after the render
  --format NAME        OUT's file format: wav, aiff, flac, ogg, caf, au, w64,
                       rf64 or another libsndfile writes (default: from OUT's
                       extension, else IN's format)
  --encoding NAME      pcm8, pcm16, pcm24, pcm32, float, double, ulaw, alaw,
                       vorbis, opus or mp3 (default: IN's encoding where the
                       format holds it, else the best one it holds)
  --tail SECONDS       render this much longer than IN, for reverbs and echoes
  --tail auto          render on until the output has stayed below -120 dBFS
                       for one second, keeping it up to its last frame above
                       that; at most 30 seconds of tail
  --keep-latency       write the output as it comes, its delay included
  --seconds S          the length to render from a plug-in without inputs
  --rate HZ            its sample rate (default 44100)
  --quiet              no progress bar and no summary line

After the render a summary gives the frames, format, latency and the output's
peak in dBFS; a warning says when an integer encoding clipped samples.
)";

const char kToneHelp[] = R"(usage: vstrun tone OUT [--freq F1,F2,...] [--seconds S] [--rate HZ] [--level DBFS]
                       [--format NAME] [--encoding NAME]

Writes a test signal: one sine per channel, one channel per frequency.

  --freq F1,F2,...     the frequencies in Hz, each below half the rate
                       (default 440,1000)
  --seconds S          length (default 2)
  --rate HZ            sample rate (default 44100)
  --level DBFS         each sine's peak in dB full scale, 0 or below (default -6)
  --format NAME        as for render (default: from OUT's extension)
  --encoding NAME      as for render (default: float where the format holds it)
)";

const char kMeasureHelp[] = R"(usage: vstrun measure FILE [--freq F1,F2,...] [--json]

Prints the level of each frequency in each channel of FILE, in dB full scale,
through a Hann window over the whole file (read in blocks, of any length).
Levels below -120 dB are shown as <-120.

  --freq F1,F2,...     the frequencies in Hz, each below half the file's rate
                       (default 440,1000)
  --json               print the levels as JSON (null for silence)
)";

const char kSweepHelp[] = R"(usage: vstrun sweep MODULE --param NAME [--steps N] [--set NAME=VALUE]...
                    [--freq F1,...] [--output N] [--svg FILE] [--json]

Steps one parameter from 0 to 1, feeds a sine into each plug-in input at
44100 Hz, and prints the gain from each input into one output in dB.

  --param NAME         the parameter, by name (any case) or index
  --steps N            values from 0 to 1, 2 to 1001 (default 21)
  --set NAME=VALUE     set another parameter first; may repeat
  --freq F1,...        one frequency per input, each below 22050 Hz
                       (default 440, 1000, 1500 ...)
  --output N           the output measured, from 1 (default 1)
  --svg FILE           draw the gains as an SVG chart
  --json               print the gains as JSON (null for silence)
)";

const char* HelpFor(const std::string& command) {
    if (command == "info") return kInfoHelp;
    if (command == "render") return kRenderHelp;
    if (command == "tone") return kToneHelp;
    if (command == "measure") return kMeasureHelp;
    if (command == "sweep") return kSweepHelp;
    return nullptr;
}

bool AsksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments)
        if (a == "--help" || a == "-h") return true;
    return false;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        const char* help = arguments.empty() ? nullptr : HelpFor(arguments[0]);
        std::fputs(help ? help : kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("vstrun %s\n", QUILL_VERSION);
        return 0;
    }
    const char* help = HelpFor(command);
    if (help && AsksForHelp(arguments)) {
        std::fputs(help, stdout);
        return 0;
    }
    cli::InstallCleanup();
    try {
        if (command == "info") return cli::Info(arguments);
        if (command == "render") return cli::Render(arguments);
        if (command == "tone") return cli::Tone(arguments);
        if (command == "measure") return cli::Measure(arguments);
        if (command == "sweep") return cli::Sweep(arguments);
        throw cli::UsageError("unknown command \"" + command +
                              "\"; the commands are info, render, tone, measure, sweep");
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "vstrun: %s\n", e.what());
        if (help) std::fprintf(stderr, "`vstrun %s --help` lists its options\n", command.c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vstrun: %s\n", e.what());
        return 1;
    }
}
