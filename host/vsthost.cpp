#include "host/vsthost.h"

#include <cstring>

#include "host/module.h"

namespace vsthost {

Module::Module(const std::string& path) { handle_ = module::Open(path, error_); }

Module::~Module() { module::Close(handle_); }

void* Module::symbol(const char* name) const { return module::Symbol(handle_, name); }

VstPluginMainProc Module::entry() const {
    void* found = symbol("VSTPluginMain");
    if (!found) found = symbol("main");
    return reinterpret_cast<VstPluginMainProc>(found);
}

namespace {
// The host a record belongs to is kept in the record's user field; before the
// record exists (audioMasterVersion during the entry point) it is this one.
thread_local Host* instantiating = nullptr;
} // namespace

Host::Host() {
    time.sampleRate = 44100.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

AEffect* Host::instantiate(VstPluginMainProc entry) {
    if (!entry) return nullptr;
    Host* previous = instantiating;
    instantiating = this;
    AEffect* effect = entry(&Host::Callback);
    instantiating = previous;
    if (effect) effect->user = this;
    return effect;
}

std::vector<HostRequest> Host::requestsFor(VstInt32 opcode) const {
    std::vector<HostRequest> found;
    for (const HostRequest& request : requests)
        if (request.opcode == opcode) found.push_back(request);
    return found;
}

VstIntPtr VSTCALLBACK Host::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float opt) {
    Host* host = effect && effect->user ? static_cast<Host*>(effect->user) : instantiating;
    if (!host) return opcode == audioMasterVersion ? kVstVersion : 0;
    if (host->logRequests) host->requests.push_back({effect != nullptr, opcode, index, value, opt});
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr Host::answer(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    switch (opcode) {
    case audioMasterVersion: return versionAnswer;
    case audioMasterGetTime: return provideTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
    case audioMasterUpdateDisplay: return updateDisplayAnswer;
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(sampleRate);
    case audioMasterGetBlockSize: return blockSize;
    case audioMasterGetCurrentProcessLevel: return processLevel;
    case audioMasterGetVendorString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), "vsthost");
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), "vsthost");
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion: return 1;
    default: return 0;
    }
}

Instance::~Instance() {
    if (effect_) close();
}

VstIntPtr Instance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Instance::start(float rate, VstInt32 frames) {
    open();
    setSampleRate(rate);
    setBlockSize(frames);
    resume();
}

VstIntPtr Instance::close() {
    if (!effect_) return 0;
    const VstIntPtr answer = dispatch(effClose);
    effect_ = nullptr;
    return answer;
}

std::string Instance::text(VstInt32 opcode, VstInt32 index) {
    char buffer[512] = {};
    dispatch(opcode, index, 0, buffer);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

namespace {
template <class Sample>
std::vector<Sample*> Pointers(std::vector<std::vector<Sample>>& channels) {
    std::vector<Sample*> pointers;
    for (auto& channel : channels) pointers.push_back(channel.data());
    return pointers;
}

template <class Sample>
VstInt32 Frames(const std::vector<std::vector<Sample>>& channels) {
    return channels.empty() ? 0 : static_cast<VstInt32>(channels[0].size());
}
} // namespace

void Instance::process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs) {
    auto in = Pointers(inputs);
    auto out = Pointers(outputs);
    process(in.data(), out.data(), Frames(inputs));
}

void Instance::processDouble(std::vector<std::vector<double>>& inputs, std::vector<std::vector<double>>& outputs) {
    auto in = Pointers(inputs);
    auto out = Pointers(outputs);
    processDouble(in.data(), out.data(), Frames(inputs));
}

std::vector<std::uint8_t> Instance::getChunk(bool isPreset) {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

VstIntPtr Instance::setChunk(const std::vector<std::uint8_t>& bytes, bool isPreset) {
    std::vector<std::uint8_t> copy = bytes; // the plug-in may read it as writable
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
                    copy.empty() ? nullptr : copy.data());
}

} // namespace vsthost
