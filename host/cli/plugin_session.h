// One loaded plug-in for the command-line host, behind an interface that knows
// no plug-in format: the commands reach the plug-in only through it. There is
// a session for each format: VST 2.4 here, LV2, CLAP and VST3 in their own files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cli {

enum class Precision { Single, Double };

// One entry of `info`'s listing, as text and as JSON.
struct Fact {
    std::string label;                                     // the text listing's label
    std::string text;                                      // after the label; may be empty
    std::vector<std::string> lines;                        // further lines beneath, as printed
    std::vector<std::pair<std::string, std::string>> json; // keys and their JSON values
};

class PluginSession {
public:
    // Loads and opens the plug-in at modulePath (through ModulePath), the host
    // answering rate and block from the start; throws Error with the reason.
    // A path ending in .lv2 or .vst3 is a bundle folder of that format, one
    // ending in .clap a CLAP module, any other a VST 2.4 module.
    static std::unique_ptr<PluginSession> Open(const std::string& modulePath, double rate, int block);
    virtual ~PluginSession() = default;
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    const std::string& path() const { return path_; }
    virtual std::string Name() = 0;
    virtual int Inputs() const = 0;
    virtual int Outputs() const = 0;
    virtual bool Processes(Precision precision) const = 0;
    virtual bool KeepsState() const = 0;

    struct Parameter {
        int index;
        std::string name, label, display;
        float value; // normalised
    };
    virtual int ParameterCount() const = 0;
    virtual std::string ParameterName(int index) = 0;
    // A second name a format gives a parameter (an LV2 port's symbol); empty for none.
    virtual std::string ParameterSymbol(int) { return {}; }
    virtual Parameter ParameterAt(int index) = 0;
    // Formats whose values are plain get normalised mapped onto the range.
    virtual void SetParameter(int index, float normalised) = 0;
    std::vector<Parameter> Parameters();
    // A parameter by index, name or symbol, matched without regard to case;
    // throws Error listing the valid names when nothing matches.
    int FindParameter(const std::string& nameOrIndex);
    // Applies "NAME=VALUE" with a normalised VALUE in 0 … 1.
    void Set(const std::string& assignment);

    // State files, in the plug-in format's own layout; Error says what is wrong.
    virtual void LoadState(const std::string& file) = 0;
    virtual std::vector<std::uint8_t> SaveState() = 0;

    // Tells the plug-in rate and block and resumes it at transport position 0;
    // Latency is the delay in frames it reports from then on.
    virtual void Start(double rate, int block, Precision precision) = 0;
    virtual int Latency() = 0;
    // One call of at most block frames, channels as arrays; the transport
    // position the plug-in is told moves on by frames.
    virtual void Process(float** inputs, float** outputs, int frames) = 0;
    virtual void Process(double** inputs, double** outputs, int frames) = 0;
    virtual void Stop() = 0;

    // What `info` lists before the parameters.
    virtual std::vector<Fact> Describe() = 0;

protected:
    explicit PluginSession(std::string path) : path_(std::move(path)) {}

private:
    std::string path_;
};

// The path to load for a module named on the command line: a bare name is
// looked for in the current folder first, then where the system loader looks.
std::string ModulePath(const std::string& named);

// The files a module named on the command line is read from: the module, or
// every file within a bundle folder.
std::vector<std::string> ModuleFiles(const std::string& named);

// "name=value" split at the last '='; throws UsageError without one.
std::pair<std::string, std::string> SplitAssignment(const std::string& assignment);

} // namespace cli
