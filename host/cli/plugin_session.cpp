#include "host/cli/plugin_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/error.h"
#include "host/cli/json.h"
#include "host/vsthost.h"

namespace cli {

namespace {
std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}
} // namespace

std::vector<PluginSession::Parameter> PluginSession::Parameters() {
    std::vector<Parameter> all;
    for (int index = 0; index < ParameterCount(); ++index) all.push_back(ParameterAt(index));
    return all;
}

int PluginSession::FindParameter(const std::string& nameOrIndex) {
    const std::string wanted = Lower(Trim(nameOrIndex));
    char* end = nullptr;
    errno = 0;
    const long index = std::strtol(wanted.c_str(), &end, 10);
    const bool numeric = !wanted.empty() && *end == '\0' && errno == 0;
    if (numeric && index >= 0 && index < ParameterCount()) return static_cast<int>(index);
    if (!numeric)
        for (int k = 0; k < ParameterCount(); ++k)
            if (Lower(Trim(ParameterName(k))) == wanted) return k;

    std::string message = "unknown parameter \"" + nameOrIndex + "\"; ";
    if (ParameterCount() <= 0) throw Error(message + "this plug-in has no parameters");
    message += "the parameters are:";
    for (int k = 0; k < ParameterCount(); ++k) message += "\n  " + std::to_string(k) + "  " + ParameterName(k);
    throw Error(message);
}

void PluginSession::Set(const std::string& assignment) {
    const auto [name, text] = SplitAssignment(assignment);
    const int index = FindParameter(name);
    const double value = ParseNumber(text, "the value of " + name);
    if (!(value >= 0.0 && value <= 1.0))
        throw Error("value " + text + " for \"" + ParameterName(index) +
                    "\" is out of range: a normalised value is from 0 to 1");
    SetParameter(index, static_cast<float>(value));
}

std::string ModulePath(const std::string& named) {
    // The loader would search the library path for a bare name, and load
    // whatever system library happens to be called so.
    if (named.find('/') == std::string::npos && access(named.c_str(), F_OK) == 0) return "./" + named;
    return named;
}

std::pair<std::string, std::string> SplitAssignment(const std::string& assignment) {
    const auto equals = assignment.find_last_of('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set wants NAME=VALUE, not \"" + assignment + "\"");
    return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

namespace {
// State files: the magic, the plug-in's unique ID and the chunk's byte count,
// each 32-bit little-endian, then the chunk.
constexpr char kStateMagic[8] = {'V', 'S', 'T', '2', 'S', 'T', 'A', 'T'};
constexpr std::size_t kStateHeaderBytes = 16;

void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetLittleEndian(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

const char* const kCapabilities[] = {
    "sendVstEvents",      "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass"};

const char* const kCategories[] = {"unknown", "effect",   "synth",       "analysis", "mastering", "spacializer",
                                   "room fx", "surround", "restoration", "offline",  "shell",     "generator"};

std::vector<std::string> FlagNames(VstInt32 flags) {
    static const std::pair<VstInt32, const char*> known[] = {{effFlagsHasEditor, "HasEditor"},
                                                             {2, "HasClip"},
                                                             {4, "HasVu"},
                                                             {8, "CanMono"},
                                                             {effFlagsCanReplacing, "CanReplacing"},
                                                             {effFlagsProgramChunks, "ProgramChunks"},
                                                             {effFlagsIsSynth, "IsSynth"},
                                                             {effFlagsNoSoundInStop, "NoSoundInStop"},
                                                             {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::vector<std::string> names;
    VstInt32 left = flags;
    for (const auto& [bit, name] : known)
        if (flags & bit) {
            names.push_back(name);
            left &= ~bit;
        }
    for (int bit = 0; bit < 32; ++bit)
        if (left & (VstInt32(1) << bit)) names.push_back("bit" + std::to_string(bit));
    return names;
}

// The four characters of a unique ID when they are printable.
std::string FourCharacters(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return "";
        text += c;
    }
    return text;
}

std::string CategoryName(VstIntPtr category) {
    if (category >= 0 && category < static_cast<VstIntPtr>(std::size(kCategories))) return kCategories[category];
    return "category " + std::to_string(category);
}

std::string Answer(VstIntPtr answer) {
    if (answer > 0) return "yes (" + std::to_string(answer) + ")";
    return answer < 0 ? "no" : "don't know";
}

Fact Plain(const std::string& label, const std::string& key, const std::string& text) {
    return {label, text, {}, {{key, Json(text)}}};
}

Fact Whole(const std::string& label, const std::string& key, long long value) {
    return {label, std::to_string(value), {}, {{key, std::to_string(value)}}};
}

class Vst2Session final : public PluginSession {
public:
    Vst2Session(const std::string& path, double rate, int block) : PluginSession(path), module_(path) {
        if (!module_.ok()) throw Error("cannot load " + path + ": " + module_.error());
        VstPluginMainProc entry = module_.entry();
        if (!entry) throw Error(path + " has no VST 2.4 entry point (VSTPluginMain or main)");
        host_.logRequests = false; // a long render would otherwise keep every request
        host_.processLevel = vsthost::kProcessLevelOffline;
        Tell(rate, block);
        AEffect* effect = host_.instantiate(entry);
        if (!effect) throw Error("the entry point of " + path + " returned no plug-in");
        if (effect->magic != kEffectMagic || !effect->dispatcher)
            throw Error(path + " returned a record that is not a VST 2.4 plug-in");
        instance_ = std::make_unique<vsthost::Instance>(effect, host_);
        instance_->open();
    }

    std::string Name() override { return instance_->text(effGetEffectName); }
    int Inputs() const override { return effect().numInputs; }
    int Outputs() const override { return effect().numOutputs; }
    bool Processes(Precision precision) const override {
        const VstInt32 flag = precision == Precision::Double ? effFlagsCanDoubleReplacing : effFlagsCanReplacing;
        const bool present = precision == Precision::Double ? effect().processDoubleReplacing != nullptr
                                                            : effect().processReplacing != nullptr;
        return (effect().flags & flag) && present;
    }
    bool KeepsState() const override { return effect().flags & effFlagsProgramChunks; }

    int ParameterCount() const override { return effect().numParams; }
    std::string ParameterName(int index) override { return instance_->parameterName(index); }
    Parameter ParameterAt(int index) override {
        return {index, instance_->parameterName(index), instance_->parameterLabel(index),
                instance_->parameterDisplay(index), instance_->getParameter(index)};
    }
    void SetParameter(int index, float normalised) override { instance_->setParameter(index, normalised); }

    void LoadState(const std::string& file) override {
        const std::vector<std::uint8_t> bytes = ReadWholeFile(file);
        if (!KeepsState()) throw Error(path() + " keeps no state chunk to load");
        if (bytes.size() < kStateHeaderBytes || std::memcmp(bytes.data(), kStateMagic, sizeof kStateMagic) != 0)
            throw Error(file + " is not a state file (it was not written by --save-state)");
        const auto id = static_cast<VstInt32>(GetLittleEndian(bytes.data() + 8));
        const std::uint32_t size = GetLittleEndian(bytes.data() + 12);
        if (id != effect().uniqueID) throw Error(file + " holds the state of another plug-in");
        if (size != bytes.size() - kStateHeaderBytes || size == 0)
            throw Error(file + " is damaged: its chunk is not " + std::to_string(size) + " bytes long");
        const std::vector<std::uint8_t> chunk(bytes.begin() + kStateHeaderBytes, bytes.end());
        if (instance_->setChunk(chunk) == 0) throw Error(path() + " did not accept the state in " + file);
    }

    std::vector<std::uint8_t> SaveState() override {
        if (!KeepsState()) throw Error(path() + " keeps no state chunk to save");
        const std::vector<std::uint8_t> chunk = instance_->getChunk();
        if (chunk.empty()) throw Error(path() + " gave an empty state chunk");
        std::vector<std::uint8_t> bytes(kStateMagic, kStateMagic + sizeof kStateMagic);
        PutLittleEndian(bytes, static_cast<std::uint32_t>(effect().uniqueID));
        PutLittleEndian(bytes, static_cast<std::uint32_t>(chunk.size()));
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        return bytes;
    }

    void Start(double rate, int block, Precision precision) override {
        Tell(rate, block);
        position_ = 0;
        firstCall_ = true;
        instance_->setSampleRate(static_cast<float>(rate));
        instance_->setBlockSize(block);
        instance_->dispatch(effSetProcessPrecision, 0, precision == Precision::Double ? 1 : 0);
        instance_->resume();
        instance_->dispatch(effStartProcess);
    }

    // Plug-ins set it when they resume, or later with audioMasterIOChanged.
    int Latency() override { return effect().initialDelay > 0 ? effect().initialDelay : 0; }

    void Process(float** inputs, float** outputs, int frames) override {
        Advance(frames);
        instance_->process(inputs, outputs, frames);
    }
    void Process(double** inputs, double** outputs, int frames) override {
        Advance(frames);
        instance_->processDouble(inputs, outputs, frames);
    }

    void Stop() override {
        instance_->dispatch(effStopProcess);
        instance_->suspend();
    }

    std::vector<Fact> Describe() override {
        const AEffect& record = effect();
        const VstIntPtr vendorVersion = instance_->dispatch(effGetVendorVersion);
        const VstIntPtr vstVersion = instance_->dispatch(effGetVstVersion);
        const std::string category = CategoryName(instance_->dispatch(effGetPlugCategory));
        const std::string id = FourCharacters(record.uniqueID);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(record.uniqueID));
        const std::vector<std::string> flagNames = FlagNames(record.flags);
        std::string flagsText = std::to_string(record.flags) + " =", flagsJson = "[";
        for (std::size_t k = 0; k < flagNames.size(); ++k) {
            flagsText += " " + flagNames[k];
            flagsJson += (k ? ", " : "") + Json(flagNames[k]);
        }
        if (flagNames.empty()) flagsText += " none";

        Fact canDo{"can do", "", {}, {}};
        std::string canDoJson = "{";
        for (const char* capability : kCapabilities) {
            std::string text = capability; // writable: some plug-ins take the text as char*
            const VstIntPtr answer = instance_->dispatch(effCanDo, 0, 0, text.data());
            char line[96];
            std::snprintf(line, sizeof line, "  %-21s %s", capability, Answer(answer).c_str());
            canDo.lines.push_back(line);
            canDoJson += (canDoJson.size() > 1 ? ", " : "") + Json(capability) + ": " + std::to_string(answer);
        }
        canDo.json.emplace_back("canDo", canDoJson + "}");

        return {Plain("effect", "effect", instance_->text(effGetEffectName)),
                Plain("vendor", "vendor", instance_->text(effGetVendorString)),
                Plain("product", "product", instance_->text(effGetProductString)),
                Whole("vendor version", "vendorVersion", vendorVersion),
                Whole("VST version", "vstVersion", vstVersion),
                Plain("category", "category", category),
                {"unique ID",
                 (id.empty() ? "" : "'" + id + "' ") + hex + " (" + std::to_string(record.uniqueID) + ")",
                 {},
                 {{"uniqueID", std::to_string(record.uniqueID)}, {"uniqueIDText", Json(id)}}},
                Whole("version", "version", record.version),
                Whole("inputs", "inputs", record.numInputs),
                Whole("outputs", "outputs", record.numOutputs),
                Whole("programs", "programs", record.numPrograms),
                Whole("initial delay", "initialDelay", record.initialDelay),
                {"flags", flagsText, {}, {{"flags", std::to_string(record.flags)}, {"flagNames", flagsJson + "]"}}},
                canDo};
    }

private:
    const AEffect& effect() const { return *instance_->effect(); }

    void Tell(double rate, int block) {
        host_.sampleRate = static_cast<float>(rate);
        host_.blockSize = block;
        host_.time.sampleRate = rate;
    }

    // The time record as the plug-in sees it during the call about to be made.
    void Advance(int frames) {
        VstTimeInfo& time = host_.time;
        time.samplePos = static_cast<double>(position_);
        time.ppqPos = time.samplePos / time.sampleRate * time.tempo / 60.0;
        time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid | kVstTransportPlaying |
                     (firstCall_ ? kVstTransportChanged : 0);
        firstCall_ = false;
        position_ += frames;
    }

    vsthost::Module module_;
    vsthost::Host host_;
    std::unique_ptr<vsthost::Instance> instance_;
    std::int64_t position_ = 0;
    bool firstCall_ = true;
};
} // namespace

std::unique_ptr<PluginSession> PluginSession::Open(const std::string& modulePath, double rate, int block) {
    return std::make_unique<Vst2Session>(ModulePath(modulePath), rate, block);
}

} // namespace cli
