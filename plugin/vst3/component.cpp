// IComponent and IAudioProcessor: buses, setup, activation, and process,
// which applies each queued parameter change at its own sample offset.
#include <cstring>

#include "plugin/vst3/plugin.h"
#include "plugin/vst3/utf16.h"

namespace vst3_plugin {

namespace {

bool IsAudioBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index) {
    return type == vst3::kAudio && (dir == vst3::kInput || dir == vst3::kOutput) && index == 0;
}

// Bus 0's first two channels, or null when the host gave fewer.
template <class Sample>
Sample** StereoChannels(const vst3::AudioBusBuffers* buses, vst3::int32 count) {
    if (!buses || count < 1 || buses[0].numChannels < 2) return nullptr;
    Sample** channels;
    if constexpr (sizeof(Sample) == sizeof(float)) channels = buses[0].channelBuffers32;
    else channels = buses[0].channelBuffers64;
    return channels && channels[0] && channels[1] ? channels : nullptr;
}

template <class Sample>
void Silence(Sample** outputs, vst3::AudioBusBuffers& bus, vst3::int32 frames) {
    std::memset(outputs[0], 0, sizeof(Sample) * static_cast<std::size_t>(frames));
    std::memset(outputs[1], 0, sizeof(Sample) * static_cast<std::size_t>(frames));
    bus.silenceFlags = 3;
}

// The host's time as the effect's block section reads it; a field counts only when its bit says it is valid.
BrioTransport TransportOf(const vst3::ProcessContext* context) {
    BrioTransport transport;
    if (!context) return transport;
    const vst3::uint32 state = context->state;
    transport.present = true;
    transport.playing = (state & vst3::ProcessContext::kPlaying) != 0;
    transport.recording = (state & vst3::ProcessContext::kRecording) != 0;
    if (state & vst3::ProcessContext::kTempoValid) transport.tempo = context->tempo;
    if (state & vst3::ProcessContext::kTimeSigValid) {
        transport.numerator = context->timeSigNumerator;
        transport.denominator = context->timeSigDenominator;
    }
    if (state & vst3::ProcessContext::kProjectTimeMusicValid) transport.ppqPos = context->projectTimeMusic;
    return transport;
}

} // namespace

// ---- buses (main thread) ----

// The processor and the controller are this one object.
vst3::tresult PLUGIN_API Plugin::getControllerClassId(vst3::TUID) { return vst3::kNotImplemented; }

vst3::tresult PLUGIN_API Plugin::setIoMode(vst3::IoMode) { return vst3::kNotImplemented; }

vst3::int32 PLUGIN_API Plugin::getBusCount(vst3::MediaType type, vst3::BusDirection dir) {
    return IsAudioBus(type, dir, 0) ? 1 : 0;
}

vst3::tresult PLUGIN_API Plugin::getBusInfo(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                            vst3::BusInfo* bus) {
    if (!bus || !IsAudioBus(type, dir, index)) return vst3::kInvalidArgument;
    std::memset(bus, 0, sizeof *bus);
    bus->mediaType = vst3::kAudio;
    bus->direction = dir;
    // Input channel 0 is mono 1 and channel 1 mono 2; both outputs carry the mix.
    bus->channelCount = dir == vst3::kInput ? brio_.numInputs : brio_.numOutputs;
    CopyUtf16(bus->name, dir == vst3::kInput ? "Input" : "Output", 128);
    bus->busType = vst3::kMain;
    bus->flags = vst3::BusInfo::kDefaultActive;
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::getRoutingInfo(vst3::RoutingInfo*, vst3::RoutingInfo*) {
    return vst3::kNotImplemented;
}

// An inactive bus may come with null channel pointers, which process handles as it handles any.
vst3::tresult PLUGIN_API Plugin::activateBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                             vst3::TBool) {
    if (!IsAudioBus(type, dir, index)) return vst3::kInvalidArgument;
    return Initialized() ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::tresult PLUGIN_API Plugin::setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                                    vst3::SpeakerArrangement* outputs, vst3::int32 numOuts) {
    if (!Initialized() || active_.load(std::memory_order_acquire)) return vst3::kResultFalse;
    // Only the one stereo bus each way; anything else keeps it.
    const bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == vst3::SpeakerArr::kStereo &&
                        outputs[0] == vst3::SpeakerArr::kStereo;
    return stereo ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult PLUGIN_API Plugin::getBusArrangement(vst3::BusDirection dir, vst3::int32 index,
                                                   vst3::SpeakerArrangement* arr) {
    if (!arr || !IsAudioBus(vst3::kAudio, dir, index)) return vst3::kInvalidArgument;
    *arr = vst3::SpeakerArr::kStereo;
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::canProcessSampleSize(vst3::int32 symbolicSampleSize) {
    return symbolicSampleSize == vst3::kSample32 || symbolicSampleSize == vst3::kSample64 ? vst3::kResultTrue
                                                                                          : vst3::kResultFalse;
}

vst3::uint32 PLUGIN_API Plugin::getLatencySamples() { return latency_.load(std::memory_order_acquire); }

vst3::uint32 PLUGIN_API Plugin::getTailSamples() { return vst3::kNoTail; }

vst3::uint32 PLUGIN_API Plugin::getProcessContextRequirements() {
    return vst3::kNeedProjectTimeMusic | vst3::kNeedTempo | vst3::kNeedTimeSignature | vst3::kNeedTransportState;
}

// ---- setup and activation (main thread; setActive and setProcessing also from the audio thread) ----

vst3::tresult PLUGIN_API Plugin::setupProcessing(vst3::ProcessSetup* setup) {
    if (!setup) return vst3::kInvalidArgument;
    if (!Initialized() || active_.load(std::memory_order_acquire)) return vst3::kResultFalse;
    const bool valid = (setup->symbolicSampleSize == vst3::kSample32 || setup->symbolicSampleSize == vst3::kSample64) &&
                       setup->maxSamplesPerBlock > 0 && setup->sampleRate > 0.0 && setup->sampleRate < 1e9;
    if (!valid) return vst3::kResultFalse;
    OwnedScope held(owner_);
    if (!held) return vst3::kResultFalse;
    brio_.sampleRate = static_cast<float>(setup->sampleRate);
    brio_.blockSize = setup->maxSamplesPerBlock;
    setUp_.store(true, std::memory_order_release);
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::setActive(vst3::TBool state) {
    if (state) {
        if (!Initialized() || !setUp_.load(std::memory_order_acquire)) return vst3::kResultFalse;
        if (active_.load(std::memory_order_acquire)) return vst3::kResultOk;
        OwnedScope held(owner_);
        if (!held) return vst3::kResultFalse;
        TakePendingState();
        // The VST 2.4 host's resume: the init section, then the slider section.
        if (brio_.callbacks.resume) brio_.callbacks.resume(&brio_);
        latency_.store(static_cast<vst3::uint32>(brio_.initialDelay > 0 ? brio_.initialDelay : 0),
                       std::memory_order_release);
        Publish(~std::uint64_t{0});
        active_.store(true, std::memory_order_release);
        return vst3::kResultOk;
    }
    // Hosts deactivate objects they never activated (a scanner does): accepted.
    processing_.store(false, std::memory_order_release);
    if (!active_.exchange(false, std::memory_order_acq_rel)) return vst3::kResultOk;
    OwnedScope held(owner_);
    if (!held) return vst3::kResultFalse; // inactive now; the next activation's resume starts afresh
    if (brio_.callbacks.suspend) brio_.callbacks.suspend(&brio_);
    return vst3::kResultOk;
}

vst3::tresult PLUGIN_API Plugin::setProcessing(vst3::TBool state) {
    if (state) {
        if (!active_.load(std::memory_order_acquire)) return vst3::kResultFalse;
        processing_.store(true, std::memory_order_release);
        return vst3::kResultOk;
    }
    processing_.store(false, std::memory_order_release);
    // A state that came while processing must not wait for a call that may never come.
    if (owner_.TryTake()) {
        TakePendingState();
        owner_.Give();
    }
    return vst3::kResultOk;
}

// ---- process (audio thread: no allocation, no lock, no waiting) ----

vst3::tresult PLUGIN_API Plugin::process(vst3::ProcessData* data) {
    if (!data) return vst3::kInvalidArgument;
    if (!processing_.load(std::memory_order_acquire)) return vst3::kResultFalse;
    const vst3::int32 size = data->symbolicSampleSize;
    if (size != vst3::kSample32 && size != vst3::kSample64) return vst3::kInvalidArgument;
    if (!owner_.Enter()) {
        // The main thread is loading a state it took for not processing; this call stays silent.
        if (data->numSamples > 0) {
            if (size == vst3::kSample64) {
                if (auto out = StereoChannels<double>(data->outputs, data->numOutputs))
                    Silence(out, data->outputs[0], data->numSamples);
            } else if (auto out = StereoChannels<float>(data->outputs, data->numOutputs)) {
                Silence(out, data->outputs[0], data->numSamples);
            }
        }
        return vst3::kResultOk;
    }
    // A state loaded while processing applies from this call's first frame.
    if (pending_.Ready()) TakePendingState();
    brio_.transport = TransportOf(data->processContext);
    const vst3::tresult result = size == vst3::kSample64 ? ProcessHeld<double>(*data) : ProcessHeld<float>(*data);
    owner_.Leave();
    return result;
}

// The usual call, frames and no parameter changes, in one piece; the rest in
// ProcessSplit, which stays out of line so that this stays short.
template <class Sample>
[[gnu::always_inline]] inline vst3::tresult Plugin::ProcessHeld(vst3::ProcessData& data) {
    Sample** outputs = StereoChannels<Sample>(data.outputs, data.numOutputs);
    Sample** inputs = StereoChannels<Sample>(data.inputs, data.numInputs);
    vst3::IParameterChanges* changes = data.inputParameterChanges;
    if (data.numSamples > 0 && outputs && inputs && (!changes || changes->getParameterCount() <= 0)) [[likely]] {
        BrioProcessWhole(&brio_, inputs, outputs, data.numSamples);
        data.outputs[0].silenceFlags = 0;
        return vst3::kResultOk;
    }
    return ProcessSplit(data, inputs, outputs);
}

template <class Sample>
[[gnu::noinline]] vst3::tresult Plugin::ProcessSplit(vst3::ProcessData& data, Sample** inputs, Sample** outputs) {
    const vst3::int32 frames = data.numSamples > 0 ? data.numSamples : 0;
    vst3::IParameterChanges* changes = data.inputParameterChanges;
    points_.Gather(changes, parameterCount_, frames);
    std::uint64_t changed = 0;
    auto apply = [this, &changed](std::int32_t parameter, double value) {
        BrioSetNormalised(&brio_, parameter, value);
        changed |= std::uint64_t{1} << parameter;
    };
    if (frames == 0 || !outputs || !inputs) {
        // A parameter flush (no frames or no buses), or no input to read: the
        // changes still count, and output there is gets silence.
        points_.TakeUpTo(QueuedPoints::kNone, apply);
        if (frames > 0 && outputs) Silence(outputs, data.outputs[0], frames);
        Publish(changed);
        return vst3::kResultOk;
    }
    // Process up to each point, apply it, go on; the block section runs with the first part only.
    std::int32_t position = 0;
    bool first = true;
    for (;;) {
        const std::int32_t next = points_.NextOffset();
        const std::int32_t end = next < frames ? next : frames;
        if (end > position) {
            BrioProcessRange(&brio_, inputs, outputs, position, end, first);
            first = false;
            position = end;
        }
        if (next == QueuedPoints::kNone) break;
        points_.TakeUpTo(next, apply);
    }
    data.outputs[0].silenceFlags = 0;
    Publish(changed);
    return vst3::kResultOk;
}

} // namespace vst3_plugin
