#include "host/cli/plugin_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/error.h"
#include "host/cli/json.h"
#include "host/cli/session_formats.h"
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
            if (Lower(Trim(ParameterName(k))) == wanted ||
                (!ParameterSymbol(k).empty() && Lower(ParameterSymbol(k)) == wanted))
                return k;

    std::string message = "unknown parameter \"" + nameOrIndex + "\"; ";
    if (ParameterCount() <= 0) throw Error(message + "this plug-in has no parameters");
    message += "the parameters are:";
    for (int k = 0; k < ParameterCount(); ++k) {
        message += "\n  " + std::to_string(k) + "  " + ParameterName(k);
        if (!ParameterSymbol(k).empty()) message += " (" + ParameterSymbol(k) + ")";
    }
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

std::vector<std::string> ModuleFiles(const std::string& named) {
    const std::string path = ModulePath(named);
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return {path};
    std::vector<std::string> files;
    for (auto entry = std::filesystem::recursive_directory_iterator(path, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error))
        if (entry->is_regular_file(error)) files.push_back(entry->path().string());
    return files;
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

// A state file of a format other than the one reading it says so.
void RefuseOtherFormat(const std::vector<std::uint8_t>& bytes, const std::string& file) {
    static const std::pair<const char*, const char*> formats[] = {
        {"VST2STAT", "a VST 2.4"}, {"LV2STATE", "an LV2"}, {"CLAPSTAT", "a CLAP"}, {"VST3STAT", "a VST3"}};
    for (const auto& [magic, format] : formats)
        if (bytes.size() >= 8 && std::memcmp(bytes.data(), magic, 8) == 0)
            throw Error(file + " holds the state of " + format + " plug-in");
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
        if (bytes.size() < sizeof kStateMagic || std::memcmp(bytes.data(), kStateMagic, sizeof kStateMagic) != 0) {
            RefuseOtherFormat(bytes, file);
            throw Error(file + " is not a state file (it was not written by --save-state)");
        }
        if (bytes.size() < kStateHeaderBytes) throw Error(file + " is damaged: it ends inside its header");
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

        return {TextFact("effect", "effect", instance_->text(effGetEffectName)),
                TextFact("vendor", "vendor", instance_->text(effGetVendorString)),
                TextFact("product", "product", instance_->text(effGetProductString)),
                WholeFact("vendor version", "vendorVersion", vendorVersion),
                WholeFact("VST version", "vstVersion", vstVersion),
                TextFact("category", "category", category),
                {"unique ID",
                 (id.empty() ? "" : "'" + id + "' ") + hex + " (" + std::to_string(record.uniqueID) + ")",
                 {},
                 {{"uniqueID", std::to_string(record.uniqueID)}, {"uniqueIDText", Json(id)}}},
                WholeFact("version", "version", record.version),
                WholeFact("inputs", "inputs", record.numInputs),
                WholeFact("outputs", "outputs", record.numOutputs),
                WholeFact("programs", "programs", record.numPrograms),
                WholeFact("initial delay", "initialDelay", record.initialDelay),
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

namespace {
bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

[[noreturn, maybe_unused]] void NotBuiltIn(const std::string& path, const char* format) {
    throw Error("cannot load " + path + ": this vstrun was built without " + format + " support");
}
} // namespace

std::unique_ptr<PluginSession> PluginSession::Open(const std::string& modulePath, double rate, int block) {
    const std::string path = ModulePath(modulePath);
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    // Each session checks that the path is what its name says: a folder or a file.
    if (EndsWith(name, ".lv2")) {
#ifdef VSTRUN_LV2
        return OpenLv2Session(path, rate, block);
#else
        NotBuiltIn(path, "LV2");
#endif
    }
    if (EndsWith(name, ".clap")) {
#ifdef VSTRUN_CLAP
        return OpenClapSession(path, rate, block);
#else
        NotBuiltIn(path, "CLAP");
#endif
    }
    if (EndsWith(name, ".vst3")) {
#ifdef VSTRUN_VST3
        return OpenVst3Session(path, rate, block);
#else
        NotBuiltIn(path, "VST3");
#endif
    }
    return std::make_unique<Vst2Session>(path, rate, block);
}

std::vector<std::uint8_t> StateFile(const char (&magic)[9], const std::string& identity,
                                    const std::vector<std::uint8_t>& state) {
    std::vector<std::uint8_t> bytes(magic, magic + 8);
    PutLittleEndian(bytes, static_cast<std::uint32_t>(identity.size()));
    bytes.insert(bytes.end(), identity.begin(), identity.end());
    PutLittleEndian(bytes, static_cast<std::uint32_t>(state.size()));
    bytes.insert(bytes.end(), state.begin(), state.end());
    return bytes;
}

std::vector<std::uint8_t> StateInFile(const std::string& file, const char (&magic)[9], const std::string& identity) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(file);
    if (bytes.size() < 8 || std::memcmp(bytes.data(), magic, 8) != 0) {
        RefuseOtherFormat(bytes, file);
        throw Error(file + " is not a state file (it was not written by --save-state)");
    }
    const std::size_t identityBytes = bytes.size() >= 12 ? GetLittleEndian(bytes.data() + 8) : 0;
    const std::size_t stateAt = 12 + identityBytes + 4;
    if (bytes.size() < 12 || identityBytes > bytes.size() - 12 || bytes.size() - 12 - identityBytes < 4)
        throw Error(file + " is damaged: it ends inside its header");
    if (std::string(bytes.begin() + 12, bytes.begin() + 12 + static_cast<std::ptrdiff_t>(identityBytes)) != identity)
        throw Error(file + " holds the state of another plug-in");
    const std::size_t size = GetLittleEndian(bytes.data() + 12 + identityBytes);
    if (size != bytes.size() - stateAt || size == 0)
        throw Error(file + " is damaged: its state is not " + std::to_string(size) + " bytes long");
    return {bytes.begin() + static_cast<std::ptrdiff_t>(stateAt), bytes.end()};
}

std::string TwoDecimals(double plain) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", plain);
    return text;
}

} // namespace cli
