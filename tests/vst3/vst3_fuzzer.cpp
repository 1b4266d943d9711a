// Arbitrary bytes read as a host's calls on one VST3 object, in any order and
// with any arguments: setup, activation, process calls with odd buses,
// queues and contexts, states in and out, and the controller. The object
// must never crash, write outside the host's buffers or answer out of range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/vst3/vst3host.h"

using namespace vst3;

namespace {

vst3host::Module& TheModule() {
    static vst3host::Module module(PLUGIN_MODULE_PATH);
    if (!module.ok()) std::abort();
    return module;
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <class T>
    T raw() {
        std::uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes) b = byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    std::vector<std::uint8_t> take(std::size_t n) {
        std::vector<std::uint8_t> out;
        while (n-- > 0 && !empty()) out.push_back(byte());
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

template <class Sample>
void Process(vst3host::Plugin& plugin, Bytes& in) {
    const std::uint8_t shape = in.byte();
    const int32 frames = static_cast<int32>(in.raw<std::int16_t>()) % 2049;
    const std::size_t length = frames > 0 ? static_cast<std::size_t>(frames) : 0;
    std::vector<Sample> buffers[4];
    for (auto& b : buffers) b.resize(length);
    for (std::size_t j = 0; j < length; ++j) {
        buffers[0][j] = static_cast<Sample>(std::sin(0.01 * static_cast<double>(j)));
        buffers[1][j] = static_cast<Sample>(j % 3) - 1;
    }
    // Bits of shape: channel counts, missing pointers, in place, no buses at all.
    Sample* ins[2] = {buffers[0].data(), shape & 1 ? nullptr : buffers[1].data()};
    Sample* outs[2] = {buffers[2].data(), buffers[3].data()};
    if (shape & 2) outs[0] = ins[0], outs[1] = ins[1];
    AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = ((shape >> 2) & 3) % 3;
    outBus.numChannels = ((shape >> 4) & 1) ? 1 : 2;
    if constexpr (sizeof(Sample) == sizeof(float)) inBus.channelBuffers32 = ins, outBus.channelBuffers32 = outs;
    else inBus.channelBuffers64 = ins, outBus.channelBuffers64 = outs;

    vst3host::ParameterChanges changes;
    for (int points = in.byte() % 12; points > 0 && !in.empty(); --points) {
        const ParamID id = in.byte() % 8;
        const auto offset = static_cast<int32>(in.raw<std::int16_t>());
        changes.add(id, offset, in.raw<double>());
    }
    if (!changes.queues.empty() && (shape & 64)) changes.queues[0]->failingPoint = in.byte() % 4;
    ProcessContext context{};
    if (shape & 128) {
        context.state = in.raw<std::uint32_t>();
        context.tempo = in.raw<double>();
        context.projectTimeMusic = in.raw<double>();
        context.timeSigNumerator = in.raw<std::int32_t>();
        context.timeSigDenominator = in.raw<std::int32_t>();
    }
    ProcessData data{};
    data.symbolicSampleSize = sizeof(Sample) == sizeof(float) ? kSample32 : kSample64;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = shape & 32 ? 0 : 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = &changes;
    data.processContext = shape & 128 ? &context : nullptr;
    const tresult result = plugin.processor->process(&data);
    if (result != kResultOk || outBus.numChannels < 2 || data.numOutputs == 0 || !outs[0] || !outs[1]) return;
    for (std::size_t j = 0; j < length; ++j) Check(std::isfinite(outs[0][j]) && std::isfinite(outs[1][j]));
}

void Controller(vst3host::Plugin& plugin, Bytes& in) {
    IEditController* c = plugin.controller;
    const auto id = static_cast<ParamID>(in.byte() % 8);
    const double value = in.raw<double>();
    switch (in.byte() % 5) {
    case 0: c->setParamNormalized(id, value); break;
    case 1: {
        String128 text;
        std::memset(text, 0x41, sizeof text);
        if (c->getParamStringByValue(id, value, text) == kResultOk) Check(vst3host::Narrow(text, 128).size() < 128);
        break;
    }
    case 2: {
        String128 text{};
        const auto chars = in.take(in.byte() % 140);
        for (std::size_t i = 0; i < chars.size() && i < 128; ++i) text[i] = chars[i];
        ParamValue normalised = 0.5;
        if (c->getParamValueByString(id, text, &normalised) == kResultOk) Check(normalised >= 0.0 && normalised <= 1.0);
        break;
    }
    case 3: c->normalizedParamToPlain(id, value); break;
    default: {
        const double normalised = c->plainParamToNormalized(id, value);
        Check(normalised >= 0.0 && normalised <= 1.0);
    }
    }
    for (ParamID k = 0; k < 6; ++k) {
        const double shown = c->getParamNormalized(k);
        Check(shown >= 0.0 && shown <= 1.0);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TheModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vst3host::Plugin plugin(TheModule().factory());
    Check(plugin.ok());
    Bytes in(data, size);
    for (int calls = 0; calls < 64 && !in.empty(); ++calls) {
        switch (in.byte() % 10) {
        case 0: {
            ProcessSetup setup{kRealtime, in.byte() % 3, static_cast<int32>(in.raw<std::int16_t>()), in.raw<double>()};
            plugin.processor->setupProcessing(&setup);
            break;
        }
        case 1: plugin.component->setActive(in.byte() & 1); break;
        case 2: plugin.processor->setProcessing(in.byte() & 1); break;
        case 3: Process<float>(plugin, in); break;
        case 4: Process<double>(plugin, in); break;
        case 5: {
            vst3host::MemoryStream stream(in.take(in.byte() + in.byte()));
            stream.readLimit = 1 + in.byte() % 64;
            if (in.byte() & 1) plugin.controller->setComponentState(&stream);
            else plugin.component->setState(&stream);
            break;
        }
        case 6: {
            vst3host::MemoryStream stream;
            stream.writeLimit = 1 + in.byte() % 300;
            if (plugin.component->getState(&stream) == kResultOk) {
                Check(stream.bytes.size() == 260);
                float marker;
                std::memcpy(&marker, stream.bytes.data(), 4);
                Check(marker == -1000.0f);
            }
            break;
        }
        case 7: Controller(plugin, in); break;
        case 8: {
            SpeakerArrangement arrangements[2] = {in.raw<SpeakerArrangement>(), in.raw<SpeakerArrangement>()};
            plugin.processor->setBusArrangements(arrangements, in.byte() % 3, arrangements + 1, in.byte() % 3);
            plugin.component->activateBus(in.byte() % 3, in.byte() % 3, in.byte() % 3, in.byte() & 1);
            break;
        }
        default:
            // The second initialize as controller, or a terminate and a new start.
            if (in.byte() & 1) plugin.controller->initialize(&plugin.application);
            else if (plugin.component->terminate() == kResultOk) plugin.component->initialize(&plugin.application);
        }
    }
    return 0;
}
