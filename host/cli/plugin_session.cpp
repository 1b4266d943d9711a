#include "host/cli/plugin_session.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/cli/arguments.h"
#include "host/cli/audio_file.h"
#include "host/cli/error.h"

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

void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetLittleEndian(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
} // namespace

PluginSession::PluginSession(const std::string& modulePath) : path_(modulePath), module_(modulePath) {
    if (!module_.ok()) throw Error("cannot load " + modulePath + ": " + module_.error());
    VstPluginMainProc entry = module_.entry();
    if (!entry) throw Error(modulePath + " has no VST 2.4 entry point (VSTPluginMain or main)");
    host_.logRequests = false; // a long render would otherwise keep every request
    AEffect* effect = host_.instantiate(entry);
    if (!effect) throw Error("the entry point of " + modulePath + " returned no plug-in");
    if (effect->magic != kEffectMagic || !effect->dispatcher)
        throw Error(modulePath + " returned a record that is not a VST 2.4 plug-in");
    instance_ = std::make_unique<vsthost::Instance>(effect, host_);
    instance_->open();
}

PluginSession::Parameter PluginSession::ParameterAt(int index) {
    return {index, instance_->parameterName(index), instance_->parameterLabel(index),
            instance_->parameterDisplay(index), instance_->getParameter(index)};
}

std::vector<PluginSession::Parameter> PluginSession::Parameters() {
    std::vector<Parameter> all;
    for (int index = 0; index < effect().numParams; ++index) all.push_back(ParameterAt(index));
    return all;
}

int PluginSession::FindParameter(const std::string& nameOrIndex) {
    const std::string wanted = Lower(Trim(nameOrIndex));
    char* end = nullptr;
    errno = 0;
    const long index = std::strtol(wanted.c_str(), &end, 10);
    const bool numeric = !wanted.empty() && *end == '\0' && errno == 0;
    if (numeric && index >= 0 && index < effect().numParams) return static_cast<int>(index);
    if (!numeric)
        for (int k = 0; k < effect().numParams; ++k)
            if (Lower(Trim(instance_->parameterName(k))) == wanted) return k;

    std::string message = "unknown parameter \"" + nameOrIndex + "\"; ";
    if (effect().numParams <= 0) throw Error(message + "this plug-in has no parameters");
    message += "the parameters are:";
    for (int k = 0; k < effect().numParams; ++k)
        message += "\n  " + std::to_string(k) + "  " + instance_->parameterName(k);
    throw Error(message);
}

void PluginSession::Set(const std::string& assignment) {
    const auto [name, text] = SplitAssignment(assignment);
    const int index = FindParameter(name);
    const double value = ParseNumber(text, "the value of " + name);
    if (!(value >= 0.0 && value <= 1.0))
        throw Error("value " + text + " for \"" + instance_->parameterName(index) +
                    "\" is out of range: a normalised value is from 0 to 1");
    instance_->setParameter(index, static_cast<float>(value));
}

void PluginSession::LoadState(const std::string& file) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(file);
    if (!(effect().flags & effFlagsProgramChunks)) throw Error(path_ + " keeps no state chunk to load");
    if (bytes.size() < kStateHeaderBytes || std::memcmp(bytes.data(), kStateMagic, sizeof kStateMagic) != 0)
        throw Error(file + " is not a state file (it was not written by --save-state)");
    const auto id = static_cast<VstInt32>(GetLittleEndian(bytes.data() + 8));
    const std::uint32_t size = GetLittleEndian(bytes.data() + 12);
    if (id != effect().uniqueID) throw Error(file + " holds the state of another plug-in");
    if (size != bytes.size() - kStateHeaderBytes || size == 0)
        throw Error(file + " is damaged: its chunk is not " + std::to_string(size) + " bytes long");
    const std::vector<std::uint8_t> chunk(bytes.begin() + kStateHeaderBytes, bytes.end());
    if (instance_->setChunk(chunk) == 0) throw Error(path_ + " did not accept the state in " + file);
}

void PluginSession::SaveState(const std::string& file) {
    if (!(effect().flags & effFlagsProgramChunks)) throw Error(path_ + " keeps no state chunk to save");
    const std::vector<std::uint8_t> chunk = instance_->getChunk();
    if (chunk.empty()) throw Error(path_ + " gave an empty state chunk");
    std::vector<std::uint8_t> bytes(kStateMagic, kStateMagic + sizeof kStateMagic);
    PutLittleEndian(bytes, static_cast<std::uint32_t>(effect().uniqueID));
    PutLittleEndian(bytes, static_cast<std::uint32_t>(chunk.size()));
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    WriteFileAtomically(file, bytes);
}

std::pair<std::string, std::string> SplitAssignment(const std::string& assignment) {
    const auto equals = assignment.find_last_of('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set wants NAME=VALUE, not \"" + assignment + "\"");
    return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

} // namespace cli
