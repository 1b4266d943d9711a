#include "host/vst3/vst3host.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "host/module.h"

namespace vst3host {

namespace {

using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();
#if defined(_WIN32)
using InitProc = bool(PLUGIN_API*)();
using ExitProc = bool(PLUGIN_API*)();
#else
using EntryProc = bool (*)(void*);
using ExitProc = bool (*)();
#endif

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

const char* BundleArchitecture() {
#if defined(_WIN64)
    return "x86_64-win";
#elif defined(_WIN32)
    return "x86-win";
#elif defined(__x86_64__)
    return "x86_64-linux";
#elif defined(__i386__)
    return "i386-linux";
#elif defined(__aarch64__)
    return "aarch64-linux";
#else
    return "unknown-linux";
#endif
}

std::string BundleBinary(const std::string& bundle) {
    std::string folder = bundle;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    const std::size_t slash = folder.find_last_of("/\\");
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (EndsWith(name, ".vst3")) name.resize(name.size() - 5);
#if defined(_WIN32)
    std::string path = folder + "\\Contents\\" + BundleArchitecture() + "\\" + name + ".vst3";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
#else
    return folder + "/Contents/" + BundleArchitecture() + "/" + name + ".so";
#endif
}

std::string Narrow(const char16* text, std::size_t capacity) {
    std::string result;
    if (!text) return result;
    for (std::size_t i = 0; i < capacity && text[i]; ++i) result += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return result;
}

void Widen(std::string_view text, char16* target, std::size_t capacity) {
    if (!target || capacity == 0) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    for (std::size_t i = 0; i < n; ++i) target[i] = static_cast<unsigned char>(text[i]);
    target[n] = 0;
}

// ---- Module ----

Module::Module(const std::string& path) {
    // A bundle is a folder; on Windows the module file's name also ends in .vst3.
    std::error_code error;
    const std::string file = std::filesystem::is_directory(path, error) ? BundleBinary(path) : path;
    handle_ = vsthost::module::Open(file, error_);
    if (!handle_) return;
#if defined(_WIN32)
    if (auto init = reinterpret_cast<InitProc>(symbol("InitDll"))) {
        if (!init()) {
            error_ = "InitDll answered false";
            return;
        }
    }
    entered_ = true;
#else
    auto entry = reinterpret_cast<EntryProc>(symbol("ModuleEntry"));
    if (!entry || !symbol("ModuleExit")) {
        error_ = "the module lacks ModuleEntry or ModuleExit";
        return;
    }
    if (!entry(handle_)) {
        error_ = "ModuleEntry answered false";
        return;
    }
    entered_ = true;
#endif
    auto getFactory = reinterpret_cast<GetFactoryProc>(symbol("GetPluginFactory"));
    if (!getFactory) {
        error_ = "the module does not export GetPluginFactory";
        return;
    }
    factory_ = getFactory();
    if (!factory_) error_ = "GetPluginFactory answered null";
}

Module::~Module() {
    if (factory_) factory_->release();
    if (entered_) {
#if defined(_WIN32)
        if (auto exit = reinterpret_cast<ExitProc>(symbol("ExitDll"))) exit();
#else
        if (auto exit = reinterpret_cast<ExitProc>(symbol("ModuleExit"))) exit();
#endif
    }
    vsthost::module::Close(handle_);
}

void* Module::symbol(const char* name) const { return vsthost::module::Symbol(handle_, name); }

// ---- host objects ----

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
    if (numBytesRead) *numBytesRead = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    if (failFrom >= 0 && position >= failFrom) return kResultFalse;
    const std::int64_t available = std::max<std::int64_t>(0, static_cast<std::int64_t>(bytes.size()) - position);
    std::int64_t n = std::min<std::int64_t>({numBytes, readLimit, available});
    if (failFrom >= 0) n = std::min(n, failFrom - position);
    if (n > 0) std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
    position += n;
    if (numBytesRead) *numBytesRead = static_cast<int32>(n);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
    if (numBytesWritten) *numBytesWritten = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    if (failFrom >= 0 && position >= failFrom) return kResultFalse;
    std::int64_t n = std::min<std::int64_t>(numBytes, writeLimit);
    if (failFrom >= 0) n = std::min(n, failFrom - position);
    if (position + n > static_cast<std::int64_t>(bytes.size())) bytes.resize(static_cast<std::size_t>(position + n));
    if (n > 0) std::memcpy(bytes.data() + position, buffer, static_cast<std::size_t>(n));
    position += n;
    if (numBytesWritten) *numBytesWritten = static_cast<int32>(n);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
    std::int64_t base = 0;
    if (mode == kIBSeekCur) base = position;
    else if (mode == kIBSeekEnd) base = static_cast<std::int64_t>(bytes.size());
    else if (mode != kIBSeekSet) return kInvalidArgument;
    if (base + pos < 0) return kInvalidArgument;
    position = base + pos;
    if (result) *result = position;
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos) {
    if (!pos) return kInvalidArgument;
    *pos = position;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32* sampleOffset, ParamValue* value) {
    if (index < 0 || index >= static_cast<int32>(points.size()) || !sampleOffset || !value) return kInvalidArgument;
    if (index == failingPoint) return kResultFalse;
    *sampleOffset = points[static_cast<std::size_t>(index)].offset;
    *value = points[static_cast<std::size_t>(index)].value;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32* index) {
    points.push_back({sampleOffset, value});
    if (index) *index = static_cast<int32>(points.size()) - 1;
    return kResultOk;
}

ParamValueQueue* ParameterChanges::queue(ParamID id) {
    for (auto& q : queues)
        if (q->id == id) return q.get();
    queues.push_back(std::make_unique<ParamValueQueue>(id));
    return queues.back().get();
}

void ParameterChanges::add(ParamID id, int32 offset, ParamValue value) { queue(id)->points.push_back({offset, value}); }

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
    if (index < 0 || index >= static_cast<int32>(queues.size())) return nullptr;
    return queues[static_cast<std::size_t>(index)].get();
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID* id, int32* index) {
    if (!id) return nullptr;
    ParamValueQueue* q = queue(*id);
    if (index)
        for (std::size_t i = 0; i < queues.size(); ++i)
            if (queues[i].get() == q) *index = static_cast<int32>(i);
    return q;
}

tresult PLUGIN_API HostApplication::getName(String128 name) {
    if (!name) return kInvalidArgument;
    Widen("vsthost", name, 128);
    return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID, TUID, void** obj) {
    if (obj) *obj = nullptr;
    return kNotImplemented;
}

tresult PLUGIN_API ComponentHandler::performEdit(ParamID id, ParamValue) {
    edits.push_back(id);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags) {
    restarts.push_back(flags);
    return kResultOk;
}

// ---- Plugin ----

Plugin::Plugin(IPluginFactory* factory, const char* cid) {
    if (!factory) return;
    PClassInfo info{};
    if (!cid) {
        if (factory->getClassInfo(0, &info) != kResultOk) return;
        cid = info.cid;
    }
    void* object = nullptr;
    if (factory->createInstance(cid, IComponent::iid.bytes, &object) != kResultOk || !object) return;
    component = static_cast<IComponent*>(object);
    if (component->initialize(&application) != kResultOk) return;
    initialized_ = true;
    if (component->queryInterface(IAudioProcessor::iid.bytes, &object) == kResultOk)
        processor = static_cast<IAudioProcessor*>(object);
    // A host asks the component for the controller first; only a split plug-in needs its own class.
    if (component->queryInterface(IEditController::iid.bytes, &object) == kResultOk)
        controller = static_cast<IEditController*>(object);
}

Plugin::~Plugin() {
    if (initialized_) {
        stop();
        component->terminate();
    }
    if (controller) controller->release();
    if (processor) processor->release();
    if (component) component->release();
}

tresult Plugin::setup(double rate, int32 maxBlock, int32 sampleSize, int32 mode) {
    ProcessSetup setup{mode, sampleSize, maxBlock, rate};
    return processor->setupProcessing(&setup);
}

bool Plugin::start(double rate, int32 maxBlock, int32 sampleSize) {
    if (!ok()) return false;
    SpeakerArrangement in = SpeakerArr::kStereo, out = SpeakerArr::kStereo;
    return setup(rate, maxBlock, sampleSize) == kResultOk &&
           processor->setBusArrangements(&in, 1, &out, 1) == kResultTrue &&
           component->activateBus(kAudio, kInput, 0, 1) == kResultOk &&
           component->activateBus(kAudio, kOutput, 0, 1) == kResultOk && component->setActive(1) == kResultOk &&
           processor->setProcessing(1) == kResultOk;
}

void Plugin::stop() {
    if (!ok()) return;
    processor->setProcessing(0);
    component->setActive(0);
}

template <class Sample>
tresult Plugin::processAny(std::vector<std::vector<Sample>>& in, std::vector<std::vector<Sample>>& out,
                           IParameterChanges* changes, ProcessContext* context) {
    Sample* inputs[2] = {in[0].data(), in[1].data()};
    Sample* outputs[2] = {out[0].data(), out[1].data()};
    AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = outBus.numChannels = 2;
    if constexpr (sizeof(Sample) == sizeof(float)) {
        inBus.channelBuffers32 = inputs;
        outBus.channelBuffers32 = outputs;
    } else {
        inBus.channelBuffers64 = inputs;
        outBus.channelBuffers64 = outputs;
    }
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = sizeof(Sample) == sizeof(float) ? kSample32 : kSample64;
    data.numSamples = static_cast<int32>(in[0].size());
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes;
    data.inputEvents = &events_;
    data.processContext = context;
    return processor->process(&data);
}

tresult Plugin::process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                        IParameterChanges* changes, ProcessContext* context) {
    return processAny(in, out, changes, context);
}

tresult Plugin::process(std::vector<std::vector<double>>& in, std::vector<std::vector<double>>& out,
                        IParameterChanges* changes, ProcessContext* context) {
    return processAny(in, out, changes, context);
}

std::vector<std::uint8_t> Plugin::getState() {
    MemoryStream stream;
    if (component->getState(&stream) != kResultOk) return {};
    return stream.bytes;
}

tresult Plugin::setState(const std::vector<std::uint8_t>& bytes) {
    MemoryStream stream(bytes);
    return component->setState(&stream);
}

std::string Plugin::parameterText(ParamID id, ParamValue normalised) {
    String128 text{};
    if (controller->getParamStringByValue(id, normalised, text) != kResultOk) return "<refused>";
    return Narrow(text, 128);
}

} // namespace vst3host
